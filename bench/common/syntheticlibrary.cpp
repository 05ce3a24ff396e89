#include "common/syntheticlibrary.h"

#include <QSet>

#include <algorithm>

Vocabulary::Vocabulary(SeededRandom &random)
{
    static const char *const onsets[] = { "", "b", "c", "d", "f", "g", "h", "k", "l", "m", "n", "p", "r", "s", "t",
        "v", "w", "st", "tr", "pl", "ch", "sh", "th", "br", "gr" };
    static const char *const vowels[] = { "a", "e", "i", "o", "u", "ea", "ou", "ai" };
    static const char *const codas[] = { "", "n", "r", "s", "t", "l", "m", "nd", "st", "ck" };
    const auto pickFrom
        = [&random](const auto &list) { return QLatin1String(list[random.between(0, int(std::size(list)) - 1)]); };
    QSet<QString> seen;
    while (m_words.size() < 30'000) {
        QString word;
        for (int i = random.between(1, 3); i > 0; --i)
            word += pickFrom(onsets) + pickFrom(vowels) + pickFrom(codas);
        if (random.chance(0.05))
            word[std::max<qsizetype>(word.indexOf(u'e'), 0)] = QChar(u'\u00e9');
        if (word.size() > 1 && !seen.contains(word)) {
            seen.insert(word);
            m_words.append(word);
        }
    }
    double sum = 0;
    for (qsizetype rank = 1; rank <= m_words.size(); ++rank)
        m_cumulative.push_back(sum += 1.0 / double(rank));
    for (double &c : m_cumulative)
        c /= sum;
}

const QString &Vocabulary::pick(SeededRandom &random) const
{
    const auto at = std::lower_bound(m_cumulative.begin(), m_cumulative.end(), random.unit());
    return m_words[std::min<qsizetype>(at - m_cumulative.begin(), m_words.size() - 1)];
}

SyntheticLibrary SyntheticLibrary::generate(const Vocabulary &vocabulary, SeededRandom &random, int count,
    qint64 textBytes, const std::vector<std::pair<QString, double>> &planted)
{
    static const char *const extensions[] = { "pdf", "txt", "docx", "png", "jpg", "zip", "mp3", "md" };
    SyntheticLibrary library;
    const qint64 perRecord = textBytes / count;
    for (int i = 0; i < count; ++i) {
        FileRecord record;
        const QString name = vocabulary.pick(random) + u'-' + vocabulary.pick(random) + u'-' + QString::number(i) + u'.'
            + QLatin1String(extensions[random.between(0, 7)]);
        record.path = "/home/user/Documents/" + name.toUtf8();
        record.kind = FileKind::classify(QByteArrayView(record.path));
        record.size = random.between(qint64(100), qint64(50'000'000));
        record.modified = Timestamp::fromUnix(random.between(qint64(1'500'000'000), qint64(1'736'000'000)));
        if (random.chance(0.1))
            record.tags = { vocabulary.pick(random) };
        // Content lengths vary around the average and add up to the total.
        const qint64 remaining = textBytes - library.textBytes;
        const qint64 want = i == count - 1 ? remaining : random.between(perRecord / 5, perRecord * 9 / 5);
        QString text;
        text.reserve(want + 16);
        while (text.toUtf8().size() < want) {
            QString word = vocabulary.pick(random);
            if (random.chance(0.1))
                word[0] = word[0].toUpper();
            text += word + (random.chance(0.08) ? QStringLiteral(". ") : QStringLiteral(" "));
            if (text.size() + 8 > want)
                break;
        }
        for (const auto &[word, share] : planted) {
            if (random.chance(share)) {
                const qsizetype at = text.indexOf(u' ', random.between(qint64(0), text.size()));
                const QString typed = random.chance(0.5) ? word : word.toUpper();
                text.insert(at < 0 ? text.size() : at + 1, typed + u' ');
            }
        }
        library.textBytes += text.toUtf8().size();
        library.records.append(record);
        library.content.append(text);
    }
    return library;
}
