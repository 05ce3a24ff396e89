// tessary-bench-evict DIR...: takes the contents of every file below each DIR out of the page
// cache and says how many pages stayed. Exit status 1 when any page stayed or a file failed.

#include "common/pagecacheeviction.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR...\n", argv[0]);
        return 2;
    }
    bool clean = true;
    for (int i = 1; i < argc; ++i) {
        const PageCacheEviction::Result r = PageCacheEviction::evictTree(argv[i]);
        std::fprintf(stderr, "evicted %s: %lld files, %lld bytes, %lld of %lld cached pages left, %lld failures\n",
            argv[i], static_cast<long long>(r.files), static_cast<long long>(r.bytes),
            static_cast<long long>(r.residentAfter), static_cast<long long>(r.residentBefore),
            static_cast<long long>(r.failures));
        clean = clean && r.residentAfter == 0 && r.failures == 0;
    }
    return clean ? 0 : 1;
}
