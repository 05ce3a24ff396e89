#pragma once

#include "library/filerecord.h"
#include "library/scanresult.h"

#include <QByteArray>

// The stable output forms of scanned records, shared by the sub-commands that print them.
namespace RecordFormat {

// One record as a JSON object: every field under its own name, "path" as display text,
// "url" the lossless file URL (percent-encoded bytes), dates as ISO-8601 UTC, absent values null.
QByteArray json(const FileRecord &record);

// "file:///…" with every byte outside the unreserved set percent-encoded.
QByteArray fileUrl(const QByteArray &path);

// "12,345 files · 2 skipped · 3 inaccessible locations/items · 50,000-file limit reached"
QString summary(const ScanResult &result, int limit);

} // namespace RecordFormat
