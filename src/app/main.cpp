#include "cli/commandline.h"
#include "ui/shell/tessaryapplication.h"

int main(int argc, char **argv)
{
    if (CommandLine::handles(argc, argv))
        return CommandLine::run(argc, argv);
    return TessaryApplication::run(argc, argv);
}
