#include "analysis/text/textindexfile.h"

#include "platform/privatefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The first byte at or after `p` that a JSON string cannot hold as it is: '"', '\\' or a control
// character. Sixteen bytes at a time: this loop is most of the work of reading and writing an
// index of 100 MB.
const char *findSpecial(const char *p, const char *end)
{
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i control = _mm_set1_epi8(0x1F);
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i special
            = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)),
                _mm_cmpeq_epi8(_mm_max_epu8(bytes, control), control));
        const int mask = _mm_movemask_epi8(special);
        if (mask != 0)
            return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    while (p < end && *p != '"' && *p != '\\' && static_cast<unsigned char>(*p) >= 0x20)
        ++p;
    return p;
}

// --- Writing -----------------------------------------------------------------------------------

void appendEscapedUtf8(QByteArray &out, QByteArrayView utf8)
{
    static const char hex[] = "0123456789abcdef";
    const char *p = utf8.data();
    const char *end = p + utf8.size();
    while (p < end) {
        const char *run = p;
        p = findSpecial(p, end);
        out.append(run, p - run);
        if (p == end)
            break;
        const auto c = static_cast<unsigned char>(*p++);
        switch (c) {
        case '"':
            out.append("\\\"", 2);
            break;
        case '\\':
            out.append("\\\\", 2);
            break;
        case '\n':
            out.append("\\n", 2);
            break;
        case '\r':
            out.append("\\r", 2);
            break;
        case '\t':
            out.append("\\t", 2);
            break;
        case '\b':
            out.append("\\b", 2);
            break;
        case '\f':
            out.append("\\f", 2);
            break;
        default: {
            const char escape[] = { '\\', 'u', '0', '0', hex[c >> 4], hex[c & 15] };
            out.append(escape, 6);
        }
        }
    }
}

// Length of the valid UTF-8 sequence at `p`, or 0 when the byte there does not start one.
int validSequenceLength(const unsigned char *p, const unsigned char *end)
{
    const unsigned char c = p[0];
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        length = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    } else
        return 0;
    if (end - p < length || p[1] < low || p[1] > high)
        return 0;
    for (int i = 2; i < length; ++i) {
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    }
    return length;
}

void appendPath(QByteArray &out, const QByteArray &path)
{
    out.append('"');
    const auto *p = reinterpret_cast<const unsigned char *>(path.constData());
    const auto *end = p + path.size();
    while (p < end) {
        const auto *run = p;
        int length = 0;
        while (p < end && (length = validSequenceLength(p, end)) > 0)
            p += length;
        appendEscapedUtf8(out, QByteArrayView(reinterpret_cast<const char *>(run), p - run));
        if (p < end) {
            static const char hex[] = "0123456789abcdef";
            const char escape[] = { '\\', 'u', 'd', 'c', hex[*p >> 4], hex[*p & 15] };
            out.append(escape, 6);
            ++p;
        }
    }
    out.append('"');
}

void appendDouble(QByteArray &out, double value)
{
    // Fixed notation without a precision: the shortest digits that read back to `value`, and no
    // exponent (whole seconds are written without a fraction).
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    out.append(buffer, result.ptr - buffer);
}

// --- Reading -----------------------------------------------------------------------------------

// The output of a string that is only checked.
struct Discard
{
    void append(const char *, qsizetype) { }
    void append(char) { }
    void append(const QByteArray &) { }
};

class Parser
{
public:
    explicit Parser(QByteArrayView json)
        : m_p(json.data())
        , m_end(json.data() + json.size())
    { }

    std::optional<TextIndex> index()
    {
        TextIndex result;
        if (!expect('{'))
            return std::nullopt;
        // First the members are only delimited (fast: strings are skipped sixteen bytes at a
        // time), then their values are decoded on several threads, which is where the time
        // goes: unescaping and converting up to a hundred megabytes of text.
        std::vector<Member> members;
        if (peek() == '}') {
            ++m_p;
        } else {
            for (;;) {
                Member member;
                if (!string(&member.path) || !expect(':'))
                    return std::nullopt;
                skipSpace();
                member.value = m_p;
                // -1: the entry's own members then nest exactly as deep as a direct decode allows.
                if (!skipValue(-1))
                    return std::nullopt;
                member.valueEnd = m_p;
                members.push_back(std::move(member));
                if (peek() == ',') {
                    ++m_p;
                    continue;
                }
                if (!expect('}'))
                    return std::nullopt;
                break;
            }
        }
        skipSpace();
        if (m_p != m_end)
            return std::nullopt;
        std::vector<TextEntry> entries(members.size());
        if (!decodeEntries(members, entries))
            return std::nullopt;
        result.reserve(qsizetype(members.size()));
        // In file order, so that a repeated path keeps its last value.
        for (size_t i = 0; i < members.size(); ++i)
            result.insert(members[i].path, std::move(entries[i]));
        return result;
    }

private:
    struct Member
    {
        QByteArray path;
        const char *value = nullptr;
        const char *valueEnd = nullptr;
    };

    static constexpr size_t kMembersPerThread = 512;
    static constexpr int kMaxThreads = 4;

    // Decodes every member's value into `entries` (same indexes); false when one is not a valid
    // entry.
    static bool decodeEntries(const std::vector<Member> &members, std::vector<TextEntry> &entries)
    {
        std::atomic<bool> valid = true;
        std::atomic<size_t> next = 0;
        const auto work = [&] {
            Parser parser { QByteArrayView() };
            for (size_t i = next++; i < members.size() && valid; i = next++) {
                parser.m_p = members[i].value;
                parser.m_end = members[i].valueEnd;
                if (!parser.entryValue(&entries[i]) || parser.m_p != parser.m_end)
                    valid = false;
            }
        };
        const int threads = int(std::clamp<size_t>(members.size() / kMembersPerThread, 1,
            size_t(std::clamp(int(std::thread::hardware_concurrency()), 1, kMaxThreads))));
        std::vector<std::thread> helpers;
        for (int t = 1; t < threads; ++t)
            helpers.emplace_back(work);
        work();
        for (std::thread &helper : helpers)
            helper.join();
        return valid;
    }

public:
private:
    void skipSpace()
    {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\n' || *m_p == '\r' || *m_p == '\t'))
            ++m_p;
    }
    char peek()
    {
        skipSpace();
        return m_p < m_end ? *m_p : '\0';
    }
    bool expect(char c)
    {
        if (peek() != c)
            return false;
        ++m_p;
        return true;
    }

    bool entryValue(TextEntry *entry)
    {
        if (!expect('{'))
            return false;
        bool haveModified = false, haveSize = false, haveText = false, havePartial = false;
        if (peek() != '}') {
            for (;;) {
                QByteArray key;
                if (!string(&key) || !expect(':'))
                    return false;
                skipSpace();
                bool ok = false;
                if (key == "modified")
                    ok = haveModified = number(&entry->modified);
                else if (key == "size")
                    ok = haveSize = integer(&entry->size);
                else if (key == "text") {
                    m_scratch.resize(0); // keeps its capacity from one entry to the next
                    ok = haveText = string(&m_scratch);
                    entry->text = QString::fromUtf8(m_scratch);
                } else if (key == "partial")
                    ok = havePartial = boolean(&entry->partial);
                else
                    ok = skipValue(0);
                if (!ok)
                    return false;
                if (peek() == ',') {
                    ++m_p;
                    continue;
                }
                break;
            }
        }
        return expect('}') && haveModified && haveSize && haveText && havePartial;
    }

    // A JSON string as UTF-8 bytes; "\udcXX" lone surrogates become the byte XX. `Out` is
    // QByteArray, or Discard to check a string without keeping it.
    template <typename Out> bool string(Out *out)
    {
        if (!expect('"'))
            return false;
        for (;;) {
            const char *run = m_p;
            m_p = findSpecial(m_p, m_end);
            out->append(run, m_p - run);
            if (m_p == m_end || static_cast<unsigned char>(*m_p) < 0x20)
                return false;
            if (*m_p++ == '"')
                return true;
            if (m_p == m_end)
                return false;
            switch (*m_p++) {
            case '"':
                out->append('"');
                break;
            case '\\':
                out->append('\\');
                break;
            case '/':
                out->append('/');
                break;
            case 'b':
                out->append('\b');
                break;
            case 'f':
                out->append('\f');
                break;
            case 'n':
                out->append('\n');
                break;
            case 'r':
                out->append('\r');
                break;
            case 't':
                out->append('\t');
                break;
            case 'u':
                if (!unicodeEscape(out))
                    return false;
                break;
            default:
                return false;
            }
        }
    }

    bool hex4(char32_t *value)
    {
        if (m_end - m_p < 4)
            return false;
        char32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = *m_p++;
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= char32_t(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= char32_t(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= char32_t(c - 'A' + 10);
            else
                return false;
        }
        *value = v;
        return true;
    }

    template <typename Out> bool unicodeEscape(Out *out)
    {
        char32_t code = 0;
        if (!hex4(&code))
            return false;
        if (code >= 0xD800 && code <= 0xDBFF && m_end - m_p >= 6 && m_p[0] == '\\' && m_p[1] == 'u') {
            const char *save = m_p;
            m_p += 2;
            char32_t low = 0;
            if (hex4(&low) && low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            } else {
                m_p = save;
            }
        }
        if (code >= 0xDC80 && code <= 0xDCFF) {
            out->append(static_cast<char>(code - 0xDC00));
            return true;
        }
        if (code >= 0xD800 && code <= 0xDFFF)
            code = 0xFFFD;
        const char32_t one[] = { code };
        out->append(QString::fromUcs4(one, 1).toUtf8());
        return true;
    }

    // The extent of a number in JSON's grammar at m_p; `integral` tells whether it had neither
    // fraction nor exponent.
    const char *numberEnd(bool *integral)
    {
        const char *p = m_p;
        *integral = true;
        if (p < m_end && *p == '-')
            ++p;
        if (p == m_end || *p < '0' || *p > '9')
            return nullptr;
        if (*p == '0')
            ++p;
        else
            while (p < m_end && *p >= '0' && *p <= '9')
                ++p;
        if (p < m_end && *p == '.') {
            *integral = false;
            if (++p == m_end || *p < '0' || *p > '9')
                return nullptr;
            while (p < m_end && *p >= '0' && *p <= '9')
                ++p;
        }
        if (p < m_end && (*p == 'e' || *p == 'E')) {
            *integral = false;
            ++p;
            if (p < m_end && (*p == '+' || *p == '-'))
                ++p;
            if (p == m_end || *p < '0' || *p > '9')
                return nullptr;
            while (p < m_end && *p >= '0' && *p <= '9')
                ++p;
        }
        return p;
    }

    bool number(double *value)
    {
        bool integral = false;
        const char *end = numberEnd(&integral);
        if (end == nullptr)
            return false;
        const auto result = std::from_chars(m_p, end, *value);
        if (result.ec != std::errc() || result.ptr != end)
            return false;
        m_p = end;
        return true;
    }

    bool integer(qint64 *value)
    {
        bool integral = false;
        const char *end = numberEnd(&integral);
        if (end == nullptr || !integral)
            return false;
        long long v = 0;
        const auto result = std::from_chars(m_p, end, v);
        if (result.ec != std::errc() || result.ptr != end)
            return false;
        *value = v;
        m_p = end;
        return true;
    }

    bool literal(const char *word)
    {
        const auto length = static_cast<std::ptrdiff_t>(std::strlen(word));
        if (m_end - m_p < length || std::memcmp(m_p, word, static_cast<size_t>(length)) != 0)
            return false;
        m_p += length;
        return true;
    }

    bool boolean(bool *value)
    {
        if (literal("true"))
            *value = true;
        else if (literal("false"))
            *value = false;
        else
            return false;
        return true;
    }

    // Members the index does not use are passed over, as long as they are valid JSON.
    bool skipValue(int depth)
    {
        if (depth > 64)
            return false;
        const char c = peek();
        if (c == '"') {
            Discard ignored;
            return string(&ignored);
        }
        if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            ++m_p;
            if (peek() == close) {
                ++m_p;
                return true;
            }
            for (;;) {
                if (c == '{') {
                    Discard ignored;
                    if (!string(&ignored) || !expect(':'))
                        return false;
                }
                if (!skipValue(depth + 1))
                    return false;
                if (peek() == ',') {
                    ++m_p;
                    continue;
                }
                return expect(close);
            }
        }
        if (literal("null"))
            return true;
        bool ignoredBool = false;
        if (c == 't' || c == 'f')
            return boolean(&ignoredBool);
        double ignoredNumber = 0;
        return number(&ignoredNumber);
    }

    const char *m_p;
    const char *m_end;
    QByteArray m_scratch;
};

} // namespace

QByteArray TextIndexFile::encode(const TextIndex &index)
{
    qsizetype estimate = 2;
    for (auto it = index.cbegin(); it != index.cend(); ++it)
        estimate += it.key().size() + it->text.size() * 3 / 2 + 96;
    QByteArray out;
    out.reserve(estimate);
    out.append('{');
    bool first = true;
    for (auto it = index.cbegin(); it != index.cend(); ++it) {
        if (!first)
            out.append(',');
        first = false;
        appendPath(out, it.key());
        out.append(":{\"modified\":");
        appendDouble(out, it->modified);
        out.append(",\"size\":");
        out.append(QByteArray::number(it->size));
        out.append(",\"text\":\"");
        appendEscapedUtf8(out, it->text.toUtf8());
        out.append(it->partial ? "\",\"partial\":true}" : "\",\"partial\":false}");
    }
    out.append('}');
    return out;
}

std::optional<TextIndex> TextIndexFile::decode(QByteArrayView json)
{
    return Parser(json).index();
}

TextIndex TextIndexFile::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    if (size <= 0)
        return {};
    const uchar *mapped = file.map(0, size);
    if (mapped == nullptr)
        return decode(file.readAll()).value_or(TextIndex());
    return decode(QByteArrayView(mapped, size)).value_or(TextIndex());
}

bool TextIndexFile::save(const TextIndex &index, const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return false;
    // The folder holds text read from private files: only its owner may list or enter it.
    ::chmod(QFile::encodeName(folder).constData(), 0700);

    return !PrivateFile::replace(QFile::encodeName(path), encode(index));
}
