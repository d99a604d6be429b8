#pragma once
// What the benchmarks that measure the query layer against FreeTDS's own command-line client
// share: bsqldb run on a script against a loopback server, and the figures they print.

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <vector>

namespace zt::bench {

// Runs batches as one bsqldb script (each followed by "go") against 127.0.0.1:port as sa with
// an empty password, TDS 7.4 and UTF-8, through a freetds.conf and a script file written in
// dir. Returns the seconds the bsqldb process took, or -1 (said on stderr) when it fails or
// takes longer than timeoutMs.
double runBsqldb(std::uint16_t port, const QStringList& batches, const QTemporaryDir& dir,
                 int timeoutMs);

inline double secondsOf(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e9;
}

// The middle value (the upper one of an even count); values is not empty.
double median(std::vector<double> values);

} // namespace zt::bench
