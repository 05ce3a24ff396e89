// tessary-bench-dupes DIR...: what `tessary dupes DIR...` does (a scan without media facts, then
// DuplicateFinder::find), in a small program that builds in a minute, for timing the finder of
// one build against another's and against the peer tools. Prints one path per line, groups
// separated by blank lines (the format `tessary-dupes-corpus compare` reads).

#include "analysis/duplicatefinder.h"
#include "library/libraryscanner.h"

#include <cstdio>

int main(int argc, char **argv)
{
    QByteArrayList roots;
    for (int i = 1; i < argc; ++i)
        roots.append(QByteArray(argv[i]));
    if (roots.isEmpty()) {
        std::fprintf(stderr, "usage: %s DIR...\n", argv[0]);
        return 2;
    }
    ScanOptions options;
    options.readContentMetadata = false;
    const ScanResult scan = LibraryScanner::scan(roots, options);
    for (const DuplicateGroup &group : DuplicateFinder::find(scan.files)) {
        for (const FileRecord &file : group.files)
            std::printf("  %s\n", file.path.constData());
        std::printf("\n");
    }
    return scan.truncated ? 1 : 0;
}
