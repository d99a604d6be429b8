#pragma once
// The --trace file: every batch and sp_executesql text, verbatim, each followed by a GO line.

#include <QString>

#include <filesystem>
#include <fstream>
#include <mutex>

namespace ztds::tds {

class TraceFile {
public:
    // Opens for appending; throws std::runtime_error when the file cannot be written.
    explicit TraceFile(const std::filesystem::path& path);
    void append(const QString& sql); // thread-safe

private:
    std::mutex mutex_;
    std::ofstream out_;
};

} // namespace ztds::tds
