#pragma once

#include <QByteArrayView>

#include <array>

// Which pairs of adjacent bytes a text holds, as 1024 bits. A word can occur in a text only if
// every pair of the word is among the text's, so most texts that lack a word are ruled out by
// sixteen word-sized tests instead of a scan of the text. Pairs of lower-case ASCII letters
// each have a bit of their own; other pairs may share one. A plain value of 128 bytes.
class BytePairs
{
public:
    BytePairs() = default;
    static BytePairs of(QByteArrayView bytes)
    {
        BytePairs pairs;
        const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
        for (qsizetype i = 1; i < bytes.size(); ++i) {
            const unsigned bit = (data[i - 1] * 31U + data[i]) & 1023U;
            pairs.m_bits[bit / 64] |= quint64(1) << (bit % 64);
        }
        return pairs;
    }

    // False when some pair of `word` is missing here: then the word does not occur.
    bool mayContain(const BytePairs &word) const
    {
        quint64 missing = 0;
        for (size_t i = 0; i < m_bits.size(); ++i)
            missing |= word.m_bits[i] & ~m_bits[i];
        return missing == 0;
    }

private:
    std::array<quint64, 16> m_bits {};
};
