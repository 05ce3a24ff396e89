#include "benchhome.h"

#include "common/syntheticlibrary.h"

#include "analysis/text/textindexer.h"
#include "analysis/text/textindexfile.h"
#include "library/libraryscanner.h"
#include "store/librarysettings.h"

#include <QDir>
#include <QFileInfo>

namespace BenchHome {

namespace {

// Words until the text holds about `want` UTF-8 bytes; returns its byte count.
qint64 fill(QString &text, qint64 want, const Vocabulary &vocabulary, SeededRandom &random)
{
    qint64 bytes = 0;
    while (bytes < want) {
        QString word = vocabulary.pick(random);
        if (random.chance(0.1))
            word[0] = word[0].toUpper();
        word += random.chance(0.08) ? QStringLiteral(". ") : QStringLiteral(" ");
        text += word;
        bytes += word.toUtf8().size();
    }
    return bytes;
}

} // namespace

QString settingsFile(const QString &configHome)
{
    return configHome + QStringLiteral("/tessary/defaults.json");
}

QString indexFile(const QString &dataHome)
{
    return dataHome + QStringLiteral("/Quillon/text-index.json");
}

Outcome write(const QByteArray &library, const QString &configHome, const QString &dataHome, qint64 textBytes)
{
    Outcome outcome;
    const QByteArray root = LibraryScanner::standardizedPath(library);
    if (!QFileInfo(QFile::decodeName(root)).isDir()) {
        outcome.error = QStringLiteral("not a folder: ") + QFile::decodeName(root);
        return outcome;
    }
    // Only the files an indexing run reads: it drops the entries of any other file.
    QList<FileRecord> files;
    for (const FileRecord &file : LibraryScanner::scan({ root }).files) {
        if (TextIndexer::isCandidate(file))
            files.append(file);
    }
    if (files.isEmpty()) {
        outcome.error = QStringLiteral("no files with text found in ") + QFile::decodeName(root);
        return outcome;
    }

    SeededRandom random(11);
    const Vocabulary vocabulary(random);
    const qint64 share = std::max<qint64>(1, textBytes / files.size());
    TextIndex index;
    index.reserve(files.size());
    for (qsizetype i = 0; i < files.size(); ++i) {
        const FileRecord &file = files[i];
        // Lengths vary around the average; the last file takes what is left.
        const qint64 want = i == files.size() - 1 ? textBytes - outcome.textBytes
                                                      : random.between(share / 5, share * 9 / 5);
        TextEntry entry { file.modified.secondsSinceReferenceDate(), file.size, {}, false };
        outcome.textBytes += fill(entry.text, want, vocabulary, random);
        index.insert(file.path, entry);
    }
    outcome.files = index.size();

    QDir().mkpath(configHome + QStringLiteral("/tessary"));
    LibrarySettings settings(settingsFile(configHome));
    if (!settings.setFolderBookmarks({ root })) {
        outcome.error = settings.lastError();
        return outcome;
    }
    if (!TextIndexFile::save(index, indexFile(dataHome))) {
        outcome.error = QStringLiteral("cannot write ") + indexFile(dataHome);
        return outcome;
    }
    outcome.written = true;
    return outcome;
}

} // namespace BenchHome
