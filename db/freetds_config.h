#pragma once
// What the FreeTDS installation of this machine knows: its ODBC driver, the server aliases of
// its freetds.conf files and the ODBC data sources that use it.

#include <QString>
#include <QStringList>

namespace zt::db {

// The user's home directory as FreeTDS takes it: the account's entry in the password
// database, $HOME only where there is none.
QString userHomeDirectory();
// Where FreeTDS looks for its configuration: $FREETDSCONF, $FREETDS/etc/freetds.conf,
// <home>/.freetds.conf, the system file. Only the files that exist.
QStringList freeTdsConfigFiles(const QString& homeDirectory = userHomeDirectory());
// The server sections of one freetds.conf, in file order, without [global] and without the
// examples that Debian's stock file ships (egServer50, egServer73), which name no real server.
QStringList freeTdsConfigServers(const QString& path);
// The server sections of every freetds.conf FreeTDS reads, each once, in reading order.
QStringList freeTdsAliases();
// The names of the ODBC data sources whose driver is FreeTDS's, as unixODBC lists them.
QStringList freeTdsDataSources();

// How a Data Source reaches its server through FreeTDS.
enum class FreeTdsRoute {
    Host,      // SERVER= and PORT=: a host name or address, perhaps with ",port" or "\instance"
    Alias,     // SERVERNAME=: a freetds.conf section, whose host, port and TDS version apply
    DataSource // DSN=: an ODBC data source of the FreeTDS driver
};
FreeTdsRoute freeTdsRoute(const QString& dataSource);

// The directories searched for libtdsodbc.so when no driver is registered under "FreeTDS":
// this machine's multiarch directories first.
QStringList freeTdsLibraryDirectories();
// The driver to name in DRIVER=: the registered name "FreeTDS" when odbcinst.ini gives it a
// library that exists (registeredLibrary is its Driver= entry, a path or a bare file name
// looked for in libraryDirectories), else the path of libtdsodbc.so in the first directory
// that holds it. Throws DbError with a message naming the package tdsodbc when neither.
QString chooseFreeTdsDriver(const QString& registeredLibrary,
                            const QStringList& libraryDirectories);
// chooseFreeTdsDriver for this machine.
QString freeTdsDriver();
// The message of a machine without the driver.
QString missingDriverMessage();

} // namespace zt::db
