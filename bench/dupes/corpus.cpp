// Builds the duplicate-finding benchmark's library, deterministically, and compares the groups
// that duplicate finders print.
//
//   tessary-dupes-corpus generate DIR     50,000 files, about 2.5 GB
//   tessary-dupes-corpus sizes DIR        6,000 files of six sizes, about 2.7 GB, 20 % copies
//   tessary-dupes-corpus compare A B      exit 0 when A and B hold the same groups
//
// Group files list one path per line, groups separated by blank lines; lines that do not start
// with '/' (after optional leading spaces) are ignored, so summaries and headers do no harm.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFileCount = 50'000;
constexpr int kFolders = 100;
constexpr std::uint64_t kSeed = 20'240'517;
constexpr std::int64_t MB = 1'000'000;

std::uint64_t splitmix(std::uint64_t &state)
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// The contents of one file: a pseudo-random stream named by `content`, optionally with one
// byte changed in the middle (equal head and tail, different contents). Variants 1 to 255 of
// one altered stream change that byte differently, so they differ from each other too.
struct Spec
{
    std::string path;
    std::int64_t size = 0;
    std::uint64_t content = 0;
    bool alteredMiddle = false;
    unsigned variant = 0;
};

bool writeFile(const Spec &spec)
{
    const int fd = ::open(spec.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    static std::vector<std::uint64_t> block(1 << 17); // 1 MiB
    std::uint64_t state = spec.content * 0x2545F4914F6CDD1DULL + 1;
    std::int64_t written = 0;
    bool ok = true;
    while (ok && written < spec.size) {
        for (std::uint64_t &word : block)
            word = splitmix(state);
        const std::int64_t n = std::min<std::int64_t>(spec.size - written, static_cast<std::int64_t>(block.size() * 8));
        auto *bytes = reinterpret_cast<unsigned char *>(block.data());
        const std::int64_t middle = spec.size / 2;
        if (spec.alteredMiddle && middle >= written && middle < written + n)
            bytes[middle - written] ^= static_cast<unsigned char>(spec.variant == 0 ? 0x5A : spec.variant);
        ok = ::write(fd, bytes, static_cast<size_t>(n)) == n;
        written += n;
    }
    return ::close(fd) == 0 && ok;
}

const char *const kExtensions[] = { ".bin", ".dat", ".txt", ".pdf", ".zip", ".csv", ".log", ".docx" };
const char *const kStems[] = { "report", "backup", "notes", "invoice", "café menu", "数据", "draft final", "export" };

bool writeAll(const std::string &root, int folders, const std::vector<Spec> &specs)
{
    ::mkdir(root.c_str(), 0755);
    for (int f = 0; f < folders; ++f) {
        char folder[32];
        std::snprintf(folder, sizeof folder, "/d%02d", f);
        ::mkdir((root + folder).c_str(), 0755);
        for (int s = 0; s < 5; ++s)
            ::mkdir((root + folder + "/s" + std::to_string(s)).c_str(), 0755);
    }
    std::int64_t total = 0;
    for (const Spec &spec : specs) {
        if (!writeFile(spec)) {
            std::perror(spec.path.c_str());
            return false;
        }
        total += spec.size;
    }
    std::printf("%zu files, %lld bytes\n", specs.size(), static_cast<long long>(total));
    return true;
}

// Many files of a handful of sizes: most of every size bucket differs, a fifth are copies of
// earlier files, and a quarter of the others share head and tail with files of their size (as
// files of one format written by one program do), so neither size nor a sample settles them.
int generateSizes(const std::string &root)
{
    constexpr int kCount = 6'000;
    constexpr int kSizeFolders = 60;
    constexpr std::int64_t kSizes[] = { 4'096, 65'536, 262'144, 524'288, 900'000, 1'048'576 };
    constexpr int kFamiliesPerSize = 8;
    std::uint64_t rng = kSeed + 1;
    const auto below = [&](std::uint64_t n) { return splitmix(rng) % n; };
    std::vector<Spec> specs;
    std::vector<unsigned> variants(std::size(kSizes) * kFamiliesPerSize, 0);
    std::uint64_t nextContent = 1'000'000;
    while (static_cast<int>(specs.size()) < kCount) {
        const int index = static_cast<int>(specs.size());
        char folder[32];
        std::snprintf(folder, sizeof folder, "/d%02d/s%d", index % kSizeFolders, (index / kSizeFolders) % 5);
        Spec spec;
        spec.path = root + folder + "/" + kStems[below(8)] + " " + std::to_string(index) + kExtensions[below(8)];
        if (!specs.empty() && below(5) == 0) {
            const Spec &original = specs[below(specs.size())];
            spec.size = original.size;
            spec.content = original.content;
            spec.alteredMiddle = original.alteredMiddle;
            spec.variant = original.variant;
        } else {
            const std::size_t size = below(std::size(kSizes));
            spec.size = kSizes[size];
            const std::size_t family = size * kFamiliesPerSize + below(kFamiliesPerSize);
            if (below(4) == 0 && variants[family] < 255) {
                spec.content = 500'000 + family;
                spec.alteredMiddle = true;
                spec.variant = ++variants[family];
            } else {
                spec.content = nextContent++;
            }
        }
        specs.push_back(spec);
    }
    return writeAll(root, kSizeFolders, specs) ? 0 : 1;
}

int generate(const std::string &root)
{
    std::uint64_t rng = kSeed;
    const auto below = [&](std::uint64_t n) { return splitmix(rng) % n; };
    std::vector<Spec> specs;
    std::uint64_t nextContent = 1;
    const auto place = [&](std::int64_t size, std::uint64_t content, bool altered = false) {
        const int index = static_cast<int>(specs.size());
        char folder[32];
        std::snprintf(folder, sizeof folder, "/d%02d/s%d", index % kFolders, (index / kFolders) % 5);
        std::string name = kStems[below(8)] + std::string(" ") + std::to_string(index) + kExtensions[below(8)];
        specs.push_back({ root + folder + "/" + name, size, content, altered });
    };
    const auto group = [&](std::int64_t size, int copies) {
        const std::uint64_t content = nextContent++;
        for (int i = 0; i < copies; ++i)
            place(size, content);
        return content;
    };

    // Large duplicates, and files equal to some of them in head and tail only.
    group(300 * MB, 2);
    place(300 * MB, nextContent++); // same size, different contents
    const std::uint64_t big = group(150 * MB, 2);
    place(150 * MB, big, true);
    group(64 * MB, 3);
    for (int i = 0; i < 4; ++i)
        group(20 * MB + i, 2);
    for (const std::int64_t size : { 100'000LL, 1'000'000LL, 8'000'000LL, 40'000'000LL }) {
        const std::uint64_t content = nextContent++;
        place(size, content);
        place(size, content, true);
    }
    // Medium duplicates of 100 KB to 4 MB in pairs and triples.
    for (int i = 0; i < 150; ++i)
        group(100'000 + static_cast<std::int64_t>(below(3'900'000)), 2 + static_cast<int>(below(2)));
    // Empty files never form a group.
    for (int i = 0; i < 100; ++i)
        place(0, nextContent++);
    // Small files of 1 byte to 64 KiB (log-uniform, so many share a size); one in twelve is a
    // copy of an earlier small file.
    std::vector<std::size_t> smallFiles;
    while (static_cast<int>(specs.size()) < kFileCount) {
        if (!smallFiles.empty() && below(12) == 0) {
            const Spec &original = specs[smallFiles[below(smallFiles.size())]];
            place(original.size, original.content);
        } else {
            const double exponent = static_cast<double>(below(1'000'000)) / 1'000'000.0 * 16.0;
            const auto size = static_cast<std::int64_t>(1 << static_cast<int>(exponent))
                + static_cast<std::int64_t>(below(1 << static_cast<int>(exponent)));
            place(std::min<std::int64_t>(size, 65'536), nextContent++);
        }
        smallFiles.push_back(specs.size() - 1);
    }

    return writeAll(root, kFolders, specs) ? 0 : 1;
}

std::set<std::vector<std::string>> readGroups(const char *file)
{
    std::ifstream in(file);
    std::set<std::vector<std::string>> groups;
    std::vector<std::string> current;
    const auto finish = [&] {
        std::sort(current.begin(), current.end());
        if (current.size() >= 2)
            groups.insert(current);
        current.clear();
    };
    for (std::string line; std::getline(in, line);) {
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos)
            finish();
        else if (line[start] == '/')
            current.push_back(line.substr(start));
    }
    finish();
    return groups;
}

int compare(const char *first, const char *second)
{
    const auto a = readGroups(first);
    const auto b = readGroups(second);
    std::size_t onlyA = 0;
    for (const auto &group : a)
        onlyA += b.count(group) == 0 ? 1 : 0;
    std::size_t onlyB = 0;
    for (const auto &group : b)
        onlyB += a.count(group) == 0 ? 1 : 0;
    std::printf("%zu groups and %zu groups; %zu only in the first, %zu only in the second: %s\n", a.size(), b.size(),
        onlyA, onlyB, onlyA == 0 && onlyB == 0 ? "same" : "DIFFERENT");
    return onlyA == 0 && onlyB == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "generate") == 0)
        return generate(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "sizes") == 0)
        return generateSizes(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "compare") == 0)
        return compare(argv[2], argv[3]);
    std::fprintf(stderr, "usage: %s generate DIR | sizes DIR | compare GROUPS GROUPS\n", argv[0]);
    return 2;
}
