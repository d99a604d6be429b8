#include "tests/support/devserver_process.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QtTest/QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace zt::test {

namespace {

constexpr int startTimeoutMs = 20000;
constexpr int stopTimeoutMs = 20000;
constexpr int portAttempts = 5;
constexpr int exitUsage = 2;

// Closes a descriptor when it goes.
class Socket {
public:
    Socket() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

sockaddr_in loopback(quint16 port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port that was free a moment ago: bound to port 0, read back, released.
quint16 pickFreePort() {
    Socket socket;
    sockaddr_in address = loopback(0);
    if (socket.fd() < 0 ||
        ::bind(socket.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return 0;
    socklen_t length = sizeof address;
    if (::getsockname(socket.fd(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

bool acceptsConnections(quint16 port) {
    Socket socket;
    const sockaddr_in address = loopback(port);
    return socket.fd() >= 0 &&
           ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

// Runs in the child between fork and exec: the server goes when the test does, however the
// test ends (the check covers a parent that died before the request took effect).
void dieWithParent(pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(EXIT_FAILURE);
}

// What the sanitizers print first; with recovery they may not change the exit status.
bool holdsSanitizerReport(const QString& log) {
    for (const char* mark :
         {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "SUMMARY: UndefinedBehaviorSanitizer",
          "runtime error:", "WARNING: ThreadSanitizer"}) {
        if (log.contains(QLatin1String(mark)))
            return true;
    }
    return false;
}

} // namespace

DevServerProcess::DevServerProcess(const QStringList& extraArgs) : extraArgs_(extraArgs) {}

DevServerProcess::~DevServerProcess() {
    stop();
}

qint64 DevServerProcess::processId() const {
    return process_ ? process_->processId() : 0;
}

QString DevServerProcess::dataSource() const {
    return QStringLiteral("127.0.0.1,%1").arg(port_);
}

QString DevServerProcess::dataDirectory() const {
    return dir_.filePath(QStringLiteral("data"));
}

QString DevServerProcess::traceFile() const {
    return dir_.filePath(QStringLiteral("trace.sql"));
}

QString DevServerProcess::standardError() const {
    // The server logs to a file: a pipe nobody drains would block it once full.
    QFile log(dir_.filePath(QStringLiteral("server.log")));
    if (log.open(QIODevice::ReadOnly))
        stderr_ = QString::fromUtf8(log.readAll());
    return stderr_;
}

bool DevServerProcess::start() {
    if (process_)
        return true;
    if (!dir_.isValid()) {
        QWARN("DevServerProcess: cannot create a temporary directory");
        return false;
    }
    QDir().mkpath(dataDirectory());
    const bool keepPort = port_ != 0; // a restart stays where the clients look
    for (int attempt = 0; attempt < portAttempts; ++attempt) {
        if (!keepPort)
            port_ = pickFreePort();
        if (port_ == 0) {
            QWARN("DevServerProcess: no free loopback port");
            return false;
        }
        auto process = std::make_unique<QProcess>();
        process->setProgram(QStringLiteral(ZT_DEVSERVER_PATH));
        process->setArguments(QStringList{QStringLiteral("--listen"),
                                          QStringLiteral("127.0.0.1:%1").arg(port_),
                                          QStringLiteral("--data"), dataDirectory(),
                                          QStringLiteral("--trace"), traceFile()} +
                              extraArgs_);
        process->setChildProcessModifier([parent = ::getpid()] { dieWithParent(parent); });
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(dir_.filePath(QStringLiteral("server.log")),
                                      QIODevice::Append);
        process->start();
        if (!process->waitForStarted(startTimeoutMs)) {
            QWARN(qPrintable(QStringLiteral("DevServerProcess: cannot start %1: %2")
                                 .arg(QStringLiteral(ZT_DEVSERVER_PATH), process->errorString())));
            return false;
        }
        const QDeadlineTimer deadline(startTimeoutMs);
        while (!deadline.hasExpired()) {
            if (acceptsConnections(port_)) {
                process_ = std::move(process);
                return true;
            }
            // Doubles as the polling pause: returns early when the server gives up.
            if (process->waitForFinished(25))
                break;
        }
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(stopTimeoutMs);
            QWARN("DevServerProcess: the server did not accept connections in time");
            return false;
        }
        // Exit status 2 may be another program taking the port first: try a fresh one.
        if (keepPort || process->exitStatus() != QProcess::NormalExit ||
            process->exitCode() != exitUsage) {
            QWARN(qPrintable(
                QStringLiteral("DevServerProcess: the server exited: %1").arg(standardError())));
            return false;
        }
    }
    QWARN(qPrintable(
        QStringLiteral("DevServerProcess: the server did not start: %1").arg(standardError())));
    return false;
}

bool DevServerProcess::stop() {
    if (!process_)
        return true;
    if (process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(stopTimeoutMs)) {
            QWARN("DevServerProcess: the server ignored SIGTERM; killing it");
            process_->kill();
            process_->waitForFinished(stopTimeoutMs);
        }
    }
    const bool crashed = process_->exitStatus() != QProcess::NormalExit;
    const int exitCode = process_->exitCode();
    process_.reset();
    const QString log = standardError();
    if (!crashed && exitCode == 0 && !holdsSanitizerReport(log))
        return true;
    const QString end =
        crashed ? QStringLiteral("crashed") : QStringLiteral("exit %1").arg(exitCode);
    reportBadEnd(QStringLiteral("the server ended badly (%1): %2").arg(end, log.right(4000)));
    return false;
}

void DevServerProcess::reportBadEnd(const QString& why) const {
    const QByteArray message = "DevServerProcess: " + why.toUtf8();
    if (QTest::currentTestFunction()) {
        QTest::qFail(message.constData(), __FILE__, __LINE__);
        return;
    }
    // Between or after the test functions no failure can be recorded any more.
    std::fprintf(stderr, "%s\n", message.constData());
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
}

void DevServerProcess::kill() {
    if (!process_)
        return;
    process_->kill();
    process_->waitForFinished(stopTimeoutMs);
    process_.reset();
}

bool DevServerProcess::restart() {
    stop();
    return start();
}

} // namespace zt::test
