// The SQL parser: any text a client may send in a batch.

#include "devserver/sql/errors.h"
#include "devserver/sql/parser.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        (void)ztds::sql::parseBatch(text);
    } catch (const ztds::sql::SqlError&) {
    }
    return 0;
}
