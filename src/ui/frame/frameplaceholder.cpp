// Replaced by the frame widgets.
