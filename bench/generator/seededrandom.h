#pragma once

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstring>

// A small deterministic generator (SplitMix64). The same seed gives the same sequence with
// every compiler and standard library, which the distributions of <random> do not promise, so
// a generated library is byte-identical wherever it is made.
class SeededRandom
{
public:
    explicit SeededRandom(quint64 seed)
        : m_state(seed)
    { }

    quint64 next()
    {
        m_state += 0x9e3779b97f4a7c15ULL;
        return mix(m_state);
    }

    // A whole number in [low, high], both included.
    qint64 between(qint64 low, qint64 high)
    {
        const auto span = static_cast<quint64>(high - low) + 1;
        return low + static_cast<qint64>(next() % span);
    }
    int between(int low, int high) { return static_cast<int>(between(qint64(low), qint64(high))); }

    // In [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    double between(double low, double high) { return low + (high - low) * unit(); }
    bool chance(double probability) { return unit() < probability; }

    // `size` bytes that do not compress, like encrypted or already compressed data.
    QByteArray bytes(qsizetype size)
    {
        QByteArray out(size, Qt::Uninitialized);
        for (qsizetype at = 0; at < size; at += 8) {
            const quint64 word = next();
            std::memcpy(out.data() + at, &word, static_cast<std::size_t>(std::min<qsizetype>(8, size - at)));
        }
        return out;
    }

    template <typename Container> const auto &pick(const Container &items)
    {
        return items[static_cast<std::size_t>(next() % static_cast<quint64>(std::size(items)))];
    }

    // A seed for an independent stream, the same whatever else is drawn from this one.
    static quint64 derive(quint64 seed, quint64 salt) { return mix(seed ^ mix(salt + 0x632be59bd9b4e019ULL)); }

private:
    static quint64 mix(quint64 z)
    {
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    quint64 m_state;
};
