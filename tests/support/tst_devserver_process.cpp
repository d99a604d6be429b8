// The private zt-devserver of a test ends with the test however the test ends, and a server
// that ends badly fails the test. Each case runs this program once more as a child that
// starts a server and then ends in the way under test.

#include "tests/support/devserver_process.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

using zt::test::DevServerProcess;

namespace {

const char* const childVariable = "ZT_DEVSERVER_PROCESS_CHILD";

// GCC names the sanitizer a build runs under by a macro, Clang by __has_feature.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZT_UNDER_ASAN 1
#endif
#if __has_feature(thread_sanitizer)
#define ZT_UNDER_TSAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ZT_UNDER_ASAN 1
#endif
#if defined(__SANITIZE_THREAD__)
#define ZT_UNDER_TSAN 1
#endif

// What the failure says of a server ended by SIGSEGV: a sanitizer turns the signal into its
// report and its own exit status; without one the server is seen to crash.
QString crashReason() {
#if defined(ZT_UNDER_ASAN)
    return QStringLiteral("AddressSanitizer: SEGV");
#elif defined(ZT_UNDER_TSAN)
    return QStringLiteral("ThreadSanitizer: SEGV");
#else
    return QStringLiteral("(crashed)");
#endif
}

bool acceptsConnections(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return connected;
}

// The child: starts a server, prints its port, then ends as `mode` says.
int runChild(const QByteArray& mode) {
    DevServerProcess server;
    if (!server.start())
        return 2;
    std::printf("%d\n", server.port());
    std::fflush(stdout);
    if (mode == "abort")
        std::abort();
    if (mode == "crash") {
        ::kill(static_cast<pid_t>(server.processId()), SIGSEGV);
    } else if (mode == "report") {
        QFile log(QFileInfo(server.traceFile()).dir().filePath(QStringLiteral("server.log")));
        if (!log.open(QIODevice::Append))
            return 2;
        log.write("==1==ERROR: AddressSanitizer: heap-use-after-free on address 0x1\n");
    }
    server.stop(); // outside a test function a bad end ends the program with status 1
    return 0;
}

struct ChildEnd {
    int exitCode = -1;
    bool crashed = false;
    quint16 port = 0;
    QString errors;
};

ChildEnd runAsChild(const QString& mode) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(childVariable), mode);
    environment.insert(QStringLiteral("QTEST_DISABLE_STACK_DUMP"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    ChildEnd end;
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        return end;
    }
    end.crashed = child.exitStatus() != QProcess::NormalExit;
    end.exitCode = child.exitCode();
    end.port = QString::fromLatin1(child.readAllStandardOutput()).trimmed().toUShort();
    end.errors = QString::fromUtf8(child.readAllStandardError());
    return end;
}

} // namespace

class TestDevServerProcess : public QObject {
    Q_OBJECT

private slots:
    void serverEndsWithAnAbortedTest();
    void badEndsFailOutsideTestFunctions_data();
    void badEndsFailOutsideTestFunctions();
    void cleanEndPasses();
};

void TestDevServerProcess::serverEndsWithAnAbortedTest() {
    const ChildEnd end = runAsChild(QStringLiteral("abort"));
    QVERIFY(end.crashed);
    QVERIFY(end.port != 0);
    // The server goes with its parent, not at some later time.
    QTRY_VERIFY_WITH_TIMEOUT(!acceptsConnections(end.port), 5000);
}

void TestDevServerProcess::badEndsFailOutsideTestFunctions_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("reason");
    QTest::newRow("crash") << "crash" << crashReason();
    QTest::newRow("sanitizer report") << "report"
                                      << "ERROR: AddressSanitizer";
}

void TestDevServerProcess::badEndsFailOutsideTestFunctions() {
    QFETCH(QString, mode);
    QFETCH(QString, reason);
    const ChildEnd end = runAsChild(mode);
    QVERIFY(!end.crashed);
    QCOMPARE(end.exitCode, 1);
    QVERIFY2(end.errors.contains(QStringLiteral("the server ended badly")), qPrintable(end.errors));
    QVERIFY2(end.errors.contains(reason), qPrintable(end.errors));
}

void TestDevServerProcess::cleanEndPasses() {
    DevServerProcess server;
    QVERIFY(server.start());
    QVERIFY(acceptsConnections(server.port()));
    QVERIFY(server.stop());
    QVERIFY(!acceptsConnections(server.port()));
}

int main(int argc, char** argv) {
    const QByteArray mode = qgetenv(childVariable);
    QCoreApplication application(argc, argv);
    if (!mode.isEmpty())
        return runChild(mode);
    TestDevServerProcess test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_devserver_process.moc"
