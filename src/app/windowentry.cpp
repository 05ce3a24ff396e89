// The entry point of tessary-window.so, the module that holds the window.

#include "ui/shell/tessaryapplication.h"

extern "C" __attribute__((visibility("default"))) int tessaryWindowMain(int argc, char **argv)
{
    return TessaryApplication::run(argc, argv);
}
