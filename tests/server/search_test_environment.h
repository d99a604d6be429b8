#pragma once
// A FreeTDS and unixODBC configuration of a test's own, in a temporary directory, so that
// a search sees known servers and no driver that answers a browse. Must be created before
// the first ODBC call of the test program; check isValid() before relying on it.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zt::test {

class SearchTestEnvironment {
public:
    // sqlServerIsFreeTds: the driver name "SQL Server" leads to FreeTDS, which has no browse.
    explicit SearchTestEnvironment(bool sqlServerIsFreeTds = false) {
        valid_ = dir_.isValid() && QDir(dir_.path()).mkpath(QStringLiteral("home")) &&
                 QDir(dir_.path()).mkpath(QStringLiteral("odbc"));
        write(freeTdsConf(), "; servers of this test\n"
                             "[global]\n"
                             "\ttds version = auto\n"
                             "[devserver]\n"
                             "\thost = 127.0.0.1\n"
                             "\tport = 1\n"
                             "# [commented]\n"
                             "[egServer50]\n"
                             "\thost = symachine.domain.com\n"
                             "[egServer73]\n"
                             "\thost = ntmachine.domain.com\n"
                             "  [ Loopback Two ]  \n"
                             "\thost = 127.0.0.1\n");
        write(dir_.path() + QStringLiteral("/home/.freetds.conf"), "[homeserver]\n"
                                                                   "\thost = 127.0.0.1\n"
                                                                   "[devserver]\n"
                                                                   "\thost = 127.0.0.1\n");
        QByteArray drivers = "[FreeTDS]\nDriver=libtdsodbc.so\n[Other]\nDriver=libother.so\n";
        if (sqlServerIsFreeTds) {
            drivers += "[SQL Server]\nDriver=libtdsodbc.so\n";
        }
        write(dir_.path() + QStringLiteral("/odbc/odbcinst.ini"), drivers);
        write(dir_.path() + QStringLiteral("/odbc/odbc.ini"), "[SystemDsn]\n"
                                                              "Driver=FreeTDS\n"
                                                              "Server=127.0.0.1\n");
        write(userOdbcIni(), "[AliasDsn]\n"
                             "Driver=FreeTDS\n"
                             "Servername=dsnalias\n"
                             "[OtherPortDsn]\n"
                             "Driver=FreeTDS\n"
                             "Server=127.0.0.1\n"
                             "Port=14330\n"
                             "[OtherDriverDsn]\n"
                             "Driver=Other\n"
                             "Server=otherhost\n"
                             "[PathDsn]\n"
                             "Driver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so\n"
                             "Server=pathhost\n"
                             "Port=1433\n");
        qputenv("FREETDSCONF", freeTdsConf().toLocal8Bit());
        qunsetenv("FREETDS");
        qputenv("HOME", (dir_.path() + QStringLiteral("/home")).toLocal8Bit());
        qputenv("ODBCSYSINI", (dir_.path() + QStringLiteral("/odbc")).toLocal8Bit());
        qputenv("ODBCINI", userOdbcIni().toLocal8Bit());
    }

    bool isValid() const { return valid_; }
    QString freeTdsConf() const { return dir_.path() + QStringLiteral("/freetds.conf"); }
    QString homeDirectory() const { return dir_.path() + QStringLiteral("/home"); }
    QString homeFreeTdsConf() const { return dir_.path() + QStringLiteral("/home/.freetds.conf"); }
    QString userOdbcIni() const { return dir_.path() + QStringLiteral("/user.odbc.ini"); }

    // The servers of the test's $FREETDSCONF file. FreeTDS takes the home directory from the
    // password database, not from $HOME, so the test's home file is read only when named.
    static QStringList configServers() { return {"devserver", "Loopback Two"}; }
    // Its FreeTDS data sources: user data sources, then system ones.
    static QStringList dataSourceServers() {
        return {"AliasDsn", "OtherPortDsn", "PathDsn", "SystemDsn"};
    }

private:
    void write(const QString& path, const QByteArray& text) {
        QFile file(path);
        valid_ = valid_ && file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                 file.write(text) == text.size();
    }

    QTemporaryDir dir_;
    bool valid_ = false;
};

} // namespace zt::test
