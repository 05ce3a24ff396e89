#include "cli/commandline.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (CommandLine::handles(argc, argv))
        return CommandLine::run(argc, argv);
    // The desktop window is built in the ui layer, which this build does not contain yet.
    std::fputs("tessary: this build has no window yet; use a command (see tessary --help)\n", stderr);
    return 1;
}
