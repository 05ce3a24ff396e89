#include "store/libraryworkers.h"

#include "analysis/duplicatefinder.h"
#include "analysis/similar/similarityfinder.h"
#include "analysis/text/textindexer.h"
#include "readers/contentreaders.h"

LibraryWorkers LibraryWorkers::standard()
{
    LibraryWorkers workers;
    workers.scan = [](const QByteArrayList &roots, ScanOptions options, std::stop_token stop) {
        options.readContents = &ContentReaders::mediaFacts;
        return LibraryScanner::scan(roots, options, std::move(stop));
    };
    workers.rescan
        = [](const QByteArrayList &roots, const QByteArrayList &paths, ScanOptions options, std::stop_token stop) {
              options.readContents = &ContentReaders::mediaFacts;
              return LibraryScanner::rescan(roots, paths, options, std::move(stop));
          };
    workers.duplicates = [](const QList<FileRecord> &files, std::stop_token stop) {
        return DuplicateFinder::find(files, std::move(stop));
    };
    workers.indexText = [](const QList<FileRecord> &files, const TextIndex &existing, const IndexProgress &progress,
                            std::stop_token stop) {
        return TextIndexer::run(files, existing, TextIndexer::Options(), progress, std::move(stop));
    };
    workers.similar = [](const QList<FileRecord> &files, std::stop_token stop) {
        return SimilarityFinder::find(
            files, SimilarityFinder::kDefaultThreshold, SimilarityFinder::kDefaultLimit, std::move(stop));
    };
    workers.rules = [](const QList<FileRecord> &files, CleanupRules::Rules rules, std::stop_token stop) {
        return CleanupRules::run(files, rules, std::move(stop));
    };
    workers.extractText
        = [](const FileRecord &file, std::stop_token stop) { return ContentReaders::extractText(file, std::move(stop)); };
    workers.loadTextIndex = [] { return TextIndexer::load(); };
    return workers;
}
