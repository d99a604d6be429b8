#include "devserver/tds/trace_file.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace ztds::tds {

TraceFile::TraceFile(const std::filesystem::path& path)
    : out_(path, std::ios::out | std::ios::app | std::ios::binary) {
    if (!out_)
        throw std::runtime_error("cannot open trace file " + path.string() + ": " +
                                 std::strerror(errno));
}

void TraceFile::append(const QString& sql) {
    const QByteArray text = sql.toUtf8();
    std::lock_guard lock(mutex_);
    out_.write(text.constData(), text.size());
    if (!text.endsWith('\n'))
        out_.put('\n');
    out_ << "GO\n";
    out_.flush();
}

} // namespace ztds::tds
