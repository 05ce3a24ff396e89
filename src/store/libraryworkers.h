#pragma once

#include "analysis/cleanuprules.h"
#include "analysis/duplicategroup.h"
#include "analysis/similar/similarityresult.h"
#include "analysis/text/textentry.h"
#include "library/textextraction.h"
#include "library/libraryscanner.h"

#include <functional>
#include <stop_token>

// The stateless workers the store runs off the main thread, as replaceable functions so that
// tests can hold a job at a chosen point. Each is called on a worker thread with copies of its
// inputs and must observe `stop`.
struct LibraryWorkers
{
    using IndexProgress = std::function<void(int done, int total)>;

    std::function<ScanResult(const QByteArrayList &roots, const ScanOptions &options, std::stop_token stop)> scan;
    // Reads changed paths below the roots again (LibraryScanner::rescan).
    std::function<RescanResult(
        const QByteArrayList &roots, const QByteArrayList &paths, const ScanOptions &options, std::stop_token stop)>
        rescan;
    std::function<QList<DuplicateGroup>(const QList<FileRecord> &files, std::stop_token stop)> duplicates;
    // Builds the index and writes the user's index file when not cancelled.
    std::function<TextIndexResult(
        const QList<FileRecord> &files, const TextIndex &existing, const IndexProgress &progress, std::stop_token stop)>
        indexText;
    std::function<SimilarityResult(const QList<FileRecord> &files, std::stop_token stop)> similar;
    std::function<CleanupRules::Outcome(
        const QList<FileRecord> &files, CleanupRules::Rules rules, std::stop_token stop)>
        rules;
    std::function<TextExtraction(const FileRecord &file, std::stop_token stop)> extractText;
    std::function<TextIndex()> loadTextIndex;

    // The real workers: LibraryScanner (reading media facts through the reader helpers),
    // DuplicateFinder, TextIndexer, SimilarityFinder, CleanupRules and ContentReaders.
    static LibraryWorkers standard();
};
