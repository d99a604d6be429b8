#include "devserver/net/logger.h"

namespace ztds::net {

void Logger::line(std::string_view text) {
    std::lock_guard lock(mutex_);
    out_ << "zt-devserver: " << text << '\n';
    out_.flush();
}

} // namespace ztds::net
