#pragma once
// One line per event on standard error; whole lines only, even from many connection threads.

#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

namespace ztds::net {

// Control characters (and the backslash) written as \xNN (\\), so that one event is one line.
std::string escapeControlCharacters(std::string_view text);

class Logger {
public:
    explicit Logger(std::ostream& out) : out_(out) {}
    void line(std::string_view text);

private:
    std::mutex mutex_;
    std::ostream& out_;
};

} // namespace ztds::net
