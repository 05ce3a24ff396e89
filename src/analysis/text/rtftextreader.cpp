#include "analysis/text/rtftextreader.h"

#include "analysis/text/exactfile.h"

#include <QCoreApplication>
#include <QFile>

#include <vector>

namespace {

constexpr qint64 kMaxBytes = 16 * 1024 * 1024;
constexpr int kMaxDepth = 256;

// Windows-1252 for 0x80-0x9F; the other bytes equal their Latin-1 code points.
constexpr char16_t kCp1252[32] = { 0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
    0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178 };

QChar fromCp1252(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? QChar(kCp1252[byte - 0x80]) : QChar(static_cast<char16_t>(byte));
}

bool isDestination(QByteArrayView word)
{
    static const char *const destinations[] = { "fonttbl", "colortbl", "stylesheet", "info", "pict", "header", "footer",
        "headerl", "headerr", "footerl", "footerr", "object", "themedata", "colorschememapping", "datastore",
        "xmlnstbl", "listtable", "listoverridetable", "rsidtbl", "generator", "bkmkstart", "bkmkend", "fldinst",
        "latentstyles", "filetbl", "revtbl" };
    for (const char *name : destinations) {
        if (word == name)
            return true;
    }
    return false;
}

struct Group
{
    bool skip = false;
    int unicodeSkip = 1;
};

} // namespace

TextExtraction RtfTextReader::readData(QByteArrayView data)
{
    TextExtraction result;
    std::vector<Group> groups { Group {} };
    int pendingSkip = 0; // fallback characters still to drop after a \uN
    const char *p = data.data();
    const char *end = p + data.size();
    while (p < end) {
        const char c = *p++;
        Group &group = groups.back();
        if (c == '{') {
            if (groups.size() >= kMaxDepth)
                break;
            groups.push_back(group);
            pendingSkip = 0;
        } else if (c == '}') {
            if (groups.size() > 1)
                groups.pop_back();
            pendingSkip = 0;
        } else if (c == '\\') {
            if (p == end)
                break;
            const char next = *p;
            if ((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z')) {
                const char *wordStart = p;
                while (p < end && ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z')))
                    ++p;
                const QByteArrayView word(wordStart, p - wordStart);
                bool hasNumber = false;
                long long number = 0;
                bool negative = false;
                if (p < end && *p == '-') {
                    negative = true;
                    ++p;
                }
                while (p < end && *p >= '0' && *p <= '9' && number < 100'000'000) {
                    number = number * 10 + (*p++ - '0');
                    hasNumber = true;
                }
                if (negative)
                    number = -number;
                if (p < end && *p == ' ')
                    ++p;
                if (isDestination(word)) {
                    group.skip = true;
                } else if (word == "uc" && hasNumber) {
                    group.unicodeSkip = static_cast<int>(qBound(0LL, number, 10LL));
                } else if (word == "u" && hasNumber) {
                    if (!group.skip)
                        result.text += QChar(static_cast<char16_t>(number < 0 ? number + 65536 : number));
                    pendingSkip = group.unicodeSkip;
                    continue;
                } else if (!group.skip) {
                    if (word == "par" || word == "line" || word == "row" || word == "sect" || word == "page")
                        result.text += QLatin1Char('\n');
                    else if (word == "tab" || word == "cell")
                        result.text += QLatin1Char('\t');
                    else if (word == "emdash")
                        result.text += QChar(0x2014);
                    else if (word == "endash")
                        result.text += QChar(0x2013);
                    else if (word == "lquote" || word == "rquote")
                        result.text += QChar(word == "lquote" ? 0x2018 : 0x2019);
                    else if (word == "ldblquote" || word == "rdblquote")
                        result.text += QChar(word == "ldblquote" ? 0x201C : 0x201D);
                    else if (word == "bullet")
                        result.text += QChar(0x2022);
                }
            } else if (next == '\'') {
                ++p;
                if (end - p < 2)
                    break;
                bool ok = false;
                const int byte = QByteArrayView(p, 2).toInt(&ok, 16);
                p += 2;
                if (pendingSkip > 0) {
                    --pendingSkip;
                    continue;
                }
                if (ok && !group.skip)
                    result.text += fromCp1252(static_cast<unsigned char>(byte));
            } else {
                ++p;
                if (next == '*')
                    group.skip = true;
                else if (!group.skip && (next == '\\' || next == '{' || next == '}'))
                    result.text += QLatin1Char(next);
                else if (!group.skip && next == '~')
                    result.text += QChar(0x00A0);
                else if (!group.skip && (next == '\n' || next == '\r'))
                    result.text += QLatin1Char('\n');
            }
            pendingSkip = 0;
        } else if (c == '\r' || c == '\n') {
            continue;
        } else if (pendingSkip > 0) {
            --pendingSkip;
        } else if (!group.skip) {
            result.text += fromCp1252(static_cast<unsigned char>(c));
        }
    }
    return result;
}

TextExtraction RtfTextReader::read(const QByteArray &path)
{
    QFile file;
    QString error;
    if (!ExactFile::open(file, path, &error))
        return TextExtraction::failure(error);
    const QByteArray data = file.read(kMaxBytes);
    if (data.isEmpty() && file.error() != QFileDevice::NoError)
        return TextExtraction::failure(file.errorString());
    TextExtraction result = readData(data);
    result.partial = result.partial || file.size() > kMaxBytes;
    return result;
}
