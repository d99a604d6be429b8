#include "devserver/net/logger.h"

namespace ztds::net {

std::string escapeControlCharacters(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c == 0x7F) {
            static const char digits[] = "0123456789abcdef";
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 0xF];
        } else {
            out += ch;
        }
    }
    return out;
}

void Logger::line(std::string_view text) {
    // A client chooses its login name and application name: it must not forge lines.
    const std::string escaped = escapeControlCharacters(text);
    std::lock_guard lock(mutex_);
    out_ << "zt-devserver: " << escaped << '\n';
    out_.flush();
}

} // namespace ztds::net
