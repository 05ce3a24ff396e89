#include "app/windowmodule.h"
#include "cli/commandline.h"

int main(int argc, char **argv)
{
    if (CommandLine::handles(argc, argv))
        return CommandLine::run(argc, argv);
    return WindowModule::run(argc, argv);
}
