#pragma once

#include <functional>

class QLayout;

namespace Layouts {
// Empties `layout`: nested layouts are emptied too, and every widget it held is hidden and
// deleted once control returns to the event loop, so clearing is safe even from a signal one of
// those widgets sent. Main thread only.
void clear(QLayout *layout);
// Clears `layout`, then runs `fill` to add the new widgets while the widget that holds the
// layout is hidden, so they appear with it in one show and one layout pass. Added to a shown
// widget, each new widget would be shown on its own later, each show asking the display server
// where the pointer is.
void refill(QLayout *layout, const std::function<void()> &fill);
} // namespace Layouts
