#include "app/windowmodule.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace {

using Entry = int (*)(int, char **);

// $TESSARY_WINDOW_MODULE, else the module beside this program (the build tree), else where it
// is installed relative to this program.
std::string modulePath()
{
    if (const char *chosen = std::getenv("TESSARY_WINDOW_MODULE"); chosen != nullptr && *chosen != '\0')
        return chosen;
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return "tessary-window.so";
    std::string folder(self, size_t(length));
    folder = folder.substr(0, folder.rfind('/') + 1);
    const std::string beside = folder + "tessary-window.so";
    return ::access(beside.c_str(), R_OK) == 0 ? beside : folder + TESSARY_WINDOW_INSTALLED;
}

} // namespace

namespace WindowModule {

int run(int argc, char **argv)
{
    const std::string path = modulePath();
    // Lazy binding: of the module's thousands of calls into other libraries, only those the
    // window makes are looked up, each on its first call, instead of all of them before it starts.
    void *module = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (module == nullptr) {
        std::fprintf(stderr, "tessary: the window could not be loaded (%s); the commands still work, see tessary --help\n",
            ::dlerror());
        return 1;
    }
    const auto entry = reinterpret_cast<Entry>(::dlsym(module, "tessaryWindowMain"));
    if (entry == nullptr) {
        std::fprintf(stderr, "tessary: %s is not Tessary's window module\n", path.c_str());
        return 1;
    }
    // The module stays loaded until the process ends: Qt's objects live as long as the process.
    return entry(argc, argv);
}

} // namespace WindowModule
