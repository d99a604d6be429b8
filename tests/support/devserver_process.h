#pragma once
// Starts a private zt-devserver for a test: a free loopback port, a temporary data
// directory, stopped (SIGTERM, then waited for) when the object goes.
//
// The server dies with the thread that started it, so a test that aborts or crashes leaves
// no server behind; start it from the test's own thread. A server that ends badly (a
// sanitizer report, a crash, a non-zero exit) fails the running test function; outside a
// test function it ends the program with exit status 1.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace zt::test {

class DevServerProcess {
public:
    // extraArgs are passed to zt-devserver as they are (e.g. "--login", "bob:pw:public").
    // When no --login is given the server's default login sa with an empty password applies.
    explicit DevServerProcess(const QStringList& extraArgs = {});
    ~DevServerProcess();
    DevServerProcess(const DevServerProcess&) = delete;
    DevServerProcess& operator=(const DevServerProcess&) = delete;

    bool start();   // returns once the server accepts connections; false (with a QWARN) on failure
    bool stop();    // SIGTERM and wait; idempotent; false (and a failure) if it ended badly
    void kill();    // SIGKILL, as a crash or a power cut would end it
    bool restart(); // stop, then start again on the same port and data directory

    quint16 port() const { return port_; }
    qint64 processId() const; // 0 when not running
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString dataSource() const; // "127.0.0.1,PORT", the OLE DB Data Source form
    QString dataDirectory() const;
    QString traceFile() const;     // the --trace file the helper always passes
    QString standardError() const; // what the server has logged so far

private:
    void reportBadEnd(const QString& why) const;

    QStringList extraArgs_;
    QTemporaryDir dir_;
    quint16 port_ = 0;
    std::unique_ptr<QProcess> process_;
    mutable QString stderr_;
};

} // namespace zt::test
