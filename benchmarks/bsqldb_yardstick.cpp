#include "benchmarks/bsqldb_yardstick.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>
#include <cstdio>

namespace zt::bench {

namespace {

bool writeFile(const QString& path, const QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8());
    return true;
}

} // namespace

double runBsqldb(std::uint16_t port, const QStringList& batches, const QTemporaryDir& dir,
                 int timeoutMs) {
    const QString config = dir.filePath(QStringLiteral("freetds.conf"));
    const QString scriptPath = dir.filePath(QStringLiteral("script.sql"));
    if (!writeFile(config,
                   QStringLiteral("[bench]\n\thost = 127.0.0.1\n\tport = %1\n\ttds version = 7.4\n"
                                  "\tclient charset = UTF-8\n")
                       .arg(port)) ||
        !writeFile(scriptPath, batches.join(QStringLiteral("\ngo\n")) + QStringLiteral("\ngo\n")))
        return -1;
    QProcess bsqldb;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FREETDSCONF"), config);
    bsqldb.setProcessEnvironment(environment);
    bsqldb.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    bsqldb.start(QStringLiteral("bsqldb"),
                 {"-q", "-S", "bench", "-U", "sa", "-P", "", "-i", scriptPath});
    if (!bsqldb.waitForFinished(timeoutMs) || bsqldb.exitCode() != 0) {
        std::fprintf(stderr, "bsqldb failed (exit %d): %s\n", bsqldb.exitCode(),
                     bsqldb.readAllStandardError().constData());
        return -1;
    }
    return secondsOf(timer);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace zt::bench
