#pragma once

// The window lives in a module of its own (tessary-window.so), loaded only when tessary opens
// it: the commands start without the widget, multimedia and network libraries it needs.
namespace WindowModule {

// Loads the module and runs the application; the exit status. When the module cannot be
// found or loaded, says so in one line and returns 1.
int run(int argc, char **argv);

} // namespace WindowModule
