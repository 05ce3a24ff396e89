// libFuzzer target: the text index loader must reject or accept any bytes without crashing,
// and whatever it accepts must survive a write and a second read unchanged.
#include "analysis/text/textindexfile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto index = TextIndexFile::decode(QByteArrayView(data, static_cast<qsizetype>(size)));
    if (!index)
        return 0;
    const auto again = TextIndexFile::decode(TextIndexFile::encode(*index));
    if (!again || again->size() != index->size())
        std::abort();
    return 0;
}
