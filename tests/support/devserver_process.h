#pragma once
// Starts a private zt-devserver for a test: a free loopback port, a temporary data
// directory, stopped (SIGTERM, then waited for) when the object goes.

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
    void stop();    // SIGTERM and wait; idempotent
    void kill();    // SIGKILL, as a crash or a power cut would end it
    bool restart(); // stop, then start again on the same port and data directory

    quint16 port() const { return port_; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString dataSource() const; // "127.0.0.1,PORT", the OLE DB Data Source form
    QString dataDirectory() const;
    QString traceFile() const;     // the --trace file the helper always passes
    QString standardError() const; // what the server has logged so far

private:
    QStringList extraArgs_;
    QTemporaryDir dir_;
    quint16 port_ = 0;
    std::unique_ptr<QProcess> process_;
    mutable QString stderr_;
};

} // namespace zt::test
