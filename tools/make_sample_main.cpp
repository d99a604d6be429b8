// zt-make-sample: makes data/sample.bak, the sample account set's backup. With --devserver it
// runs its own temporary zt-devserver; with --server it uses that SQL Server.

#include "accountset/sample_builder.h"
#include "config/local_config.h"
#include "core/application.h"
#include "server/server_login.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

#include <memory>

namespace {

constexpr int waitMs = 30000;

// A zt-devserver on a free loopback port with a throw-away data directory, sa with an empty
// password; stopped when this goes.
class TemporaryDevServer {
public:
    explicit TemporaryDevServer(const QString& program) {
        process_.setProgram(program);
        process_.setArguments({"--listen", "127.0.0.1:0", "--data", dir_.path()});
    }
    ~TemporaryDevServer() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(waitMs))
                process_.kill();
            process_.waitForFinished(waitMs);
        }
    }
    TemporaryDevServer(const TemporaryDevServer&) = delete;
    TemporaryDevServer& operator=(const TemporaryDevServer&) = delete;

    // The server's "host,port" once it listens; empty when it did not start.
    QString start() {
        process_.start();
        if (!dir_.isValid() || !process_.waitForStarted(waitMs))
            return {};
        // It names the port it was given in its first line.
        static const QRegularExpression listening(
            QStringLiteral("listening on ([^\\s,:]+):(\\d+)"));
        QString output;
        const QDeadlineTimer deadline(waitMs);
        while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
            process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
            output += QString::fromLocal8Bit(process_.readAllStandardError());
            const QRegularExpressionMatch match = listening.match(output);
            if (match.hasMatch())
                return match.captured(1) + u',' + match.captured(2);
        }
        return {};
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
};

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QTextStream err(stderr);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Makes the sample account set's backup: creates the sample database with the schema and "
        "default rows, loads the sample data, and runs \"backup database\"."));
    parser.addHelpOption();
    parser.addOptions({
        {"devserver", "Run a temporary zt-devserver (this program) for the job.", "PATH"},
        {"server", "Use this SQL Server instead.", "S"},
        {"user", "SQL login for --server (integrated security without it).", "U"},
        {"password", "Password of --user.", "P"},
        {"local-database", "Local configuration database with the template rows.", "FILE"},
        {"data", "The sample data statements.", "FILE"},
        {"backup", "Where the server writes the backup.", "FILE"},
    });
    parser.process(application);
    if (parser.isSet("devserver") == parser.isSet("server") || !parser.isSet("data") ||
        !parser.isSet("backup") || !parser.isSet("local-database")) {
        err << "zt-make-sample: give --data, --backup, --local-database and one of --devserver, "
               "--server (see --help)"
            << Qt::endl;
        return 2;
    }
    const QString data = readText(parser.value("data"));
    if (data.isEmpty()) {
        err << "zt-make-sample: cannot read " << parser.value("data") << Qt::endl;
        return 1;
    }

    std::unique_ptr<TemporaryDevServer> devServer;
    zt::accountset::SampleTarget target;
    target.localConnectionString =
        zt::config::localConnectionString(parser.value("local-database"));
    target.backupPath = parser.value("backup");
    if (parser.isSet("devserver")) {
        devServer = std::make_unique<TemporaryDevServer>(parser.value("devserver"));
        target.serverName = devServer->start();
        target.credentialPart = zt::config::sqlLoginFragment(QStringLiteral("sa"), QString());
        if (target.serverName.isEmpty()) {
            err << "zt-make-sample: the temporary zt-devserver did not start" << Qt::endl;
            return 1;
        }
    } else {
        zt::config::ServerLogin login;
        login.integratedSecurity = !parser.isSet("user");
        login.userName = parser.value("user");
        login.password = parser.value("password");
        // The wizard's checks: refused input never reaches the server.
        if (const auto problem = zt::server::serverInputProblem(parser.value("server"), login)) {
            err << "zt-make-sample: " << *problem << Qt::endl;
            return 1;
        }
        target.serverName = parser.value("server");
        target.credentialPart =
            parser.isSet("user")
                ? zt::config::sqlLoginFragment(parser.value("user"), parser.value("password"))
                : zt::config::integratedSecurityFragment();
    }
    try {
        zt::accountset::buildSampleBackup(target, zt::accountset::sampleStatements(data));
    } catch (const std::exception& failure) {
        err << "zt-make-sample: " << zt::failureText(zt::messageOf(failure)) << Qt::endl;
        return 1;
    }
    return 0;
}
