#include "db/freetds_config.h"

#include "db/query.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <sql.h>
#include <sqlext.h>

#include <odbcinst.h>

#include <pwd.h>
#include <unistd.h>

#include <array>

namespace zt::db {

namespace {

const QString kDriverName = QStringLiteral("FreeTDS");
const QString kDriverLibrary = QStringLiteral("libtdsodbc.so");

// The sections of Debian's stock freetds.conf: examples of the file's syntax, no servers.
bool isStockExample(const QString& section) {
    return section.compare(QLatin1String("egServer50"), Qt::CaseInsensitive) == 0 ||
           section.compare(QLatin1String("egServer73"), Qt::CaseInsensitive) == 0;
}

QString profileString(const QByteArray& section, const char* entry, const char* file) {
    std::array<char, 1024> value{};
    SQLGetPrivateProfileString(section.constData(), entry, "", value.data(),
                               static_cast<int>(value.size()), file);
    return QString::fromLocal8Bit(value.data(),
                                  static_cast<qsizetype>(qstrnlen(value.data(), value.size())));
}

QString textOf(const SQLCHAR* buffer, std::size_t size) {
    const auto* chars = reinterpret_cast<const char*>(buffer);
    return QString::fromLocal8Bit(chars, static_cast<qsizetype>(qstrnlen(chars, size)));
}

// A data source uses FreeTDS when its driver library, named directly or through the
// driver's entry in odbcinst.ini, is FreeTDS's ODBC driver.
bool usesFreeTdsDriver(const QByteArray& dataSource, const QString& driverName) {
    QString driver = profileString(dataSource, "Driver", "odbc.ini");
    if (driver.isEmpty())
        driver = driverName;
    if (!driver.contains(u'/'))
        driver = profileString(driver.toLocal8Bit(), "Driver", "odbcinst.ini");
    return QFileInfo(driver).fileName().contains(QLatin1String("tdsodbc"));
}

// Environment and ODBC 3 declared, freed on every path.
class Environment {
public:
    Environment() {
        if (SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle_) == SQL_ERROR)
            handle_ = SQL_NULL_HENV;
        else
            SQLSetEnvAttr(handle_, SQL_ATTR_ODBC_VERSION,
                          reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    }
    ~Environment() {
        if (handle_ != SQL_NULL_HENV)
            SQLFreeHandle(SQL_HANDLE_ENV, handle_);
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;
    SQLHENV get() const { return handle_; }

private:
    SQLHENV handle_ = SQL_NULL_HENV;
};

bool containsName(const QStringList& names, const QString& name) {
    return names.contains(name.trimmed(), Qt::CaseInsensitive);
}

} // namespace

QString userHomeDirectory() {
    passwd entry{};
    passwd* found = nullptr;
    std::array<char, 4096> buffer{};
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] != '\0')
        return QString::fromLocal8Bit(found->pw_dir);
    return qEnvironmentVariable("HOME");
}

QStringList freeTdsConfigFiles(const QString& homeDirectory) {
    QStringList candidates;
    const QString explicitFile = qEnvironmentVariable("FREETDSCONF");
    if (!explicitFile.isEmpty())
        candidates.append(explicitFile);
    const QString installation = qEnvironmentVariable("FREETDS");
    if (!installation.isEmpty())
        candidates.append(installation + QStringLiteral("/etc/freetds.conf"));
    if (!homeDirectory.isEmpty())
        candidates.append(homeDirectory + QStringLiteral("/.freetds.conf"));
    candidates.append(QStringLiteral("/etc/freetds/freetds.conf"));

    QStringList files;
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile() && !files.contains(candidate))
            files.append(candidate);
    }
    return files;
}

QStringList freeTdsConfigServers(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList servers;
    QTextStream lines(&file);
    while (!lines.atEnd()) {
        const QString line = lines.readLine().trimmed();
        const qsizetype end = line.indexOf(u']');
        if (!line.startsWith(u'[') || end < 0)
            continue;
        const QString section = line.mid(1, end - 1).trimmed();
        // [global] holds the defaults of every server, it names none.
        if (!section.isEmpty() &&
            section.compare(QLatin1String("global"), Qt::CaseInsensitive) != 0 &&
            !isStockExample(section))
            servers.append(section);
    }
    return servers;
}

QStringList freeTdsAliases() {
    QStringList aliases;
    for (const QString& file : freeTdsConfigFiles()) {
        for (const QString& server : freeTdsConfigServers(file)) {
            if (!containsName(aliases, server))
                aliases.append(server);
        }
    }
    return aliases;
}

QStringList freeTdsDataSources() {
    Environment environment;
    if (environment.get() == SQL_NULL_HENV)
        return {};
    QStringList names;
    std::array<SQLCHAR, SQL_MAX_DSN_LENGTH + 1> name{};
    std::array<SQLCHAR, 256> driver{};
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT driverLength = 0;
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST; SQL_SUCCEEDED(SQLDataSources(
             environment.get(), direction, name.data(), static_cast<SQLSMALLINT>(name.size()),
             &nameLength, driver.data(), static_cast<SQLSMALLINT>(driver.size()), &driverLength));
         direction = SQL_FETCH_NEXT) {
        const QString dataSource = textOf(name.data(), name.size());
        if (usesFreeTdsDriver(dataSource.toLocal8Bit(), textOf(driver.data(), driver.size())) &&
            !containsName(names, dataSource))
            names.append(dataSource);
    }
    return names;
}

FreeTdsRoute freeTdsRoute(const QString& dataSource) {
    // A port or an instance names a host; so does anything FreeTDS does not know by name.
    if (dataSource.contains(u',') || dataSource.contains(u'\\') || dataSource.trimmed().isEmpty())
        return FreeTdsRoute::Host;
    if (containsName(freeTdsAliases(), dataSource))
        return FreeTdsRoute::Alias;
    if (containsName(freeTdsDataSources(), dataSource))
        return FreeTdsRoute::DataSource;
    return FreeTdsRoute::Host;
}

QStringList freeTdsLibraryDirectories() {
    QStringList directories;
#ifdef ZT_LIBRARY_ARCHITECTURE
    const QString architecture = QStringLiteral(ZT_LIBRARY_ARCHITECTURE);
    if (!architecture.isEmpty()) {
        directories << QStringLiteral("/usr/lib/%1/odbc").arg(architecture)
                    << QStringLiteral("/usr/lib/%1").arg(architecture)
                    << QStringLiteral("/usr/local/lib/%1/odbc").arg(architecture);
    }
#endif
    directories << QStringLiteral("/usr/lib/odbc") << QStringLiteral("/usr/lib64/odbc")
                << QStringLiteral("/usr/lib64") << QStringLiteral("/usr/local/lib/odbc")
                << QStringLiteral("/usr/local/lib") << QStringLiteral("/usr/lib");
    return directories;
}

QString missingDriverMessage() {
    return QStringLiteral("找不到SQL Server的ODBC驱动程序FreeTDS，请先安装软件包tdsodbc"
                          "（sudo apt install tdsodbc）。");
}

QString chooseFreeTdsDriver(const QString& registeredLibrary,
                            const QStringList& libraryDirectories) {
    const auto found = [&libraryDirectories](const QString& fileName) -> QString {
        for (const QString& directory : libraryDirectories) {
            const QString path = QDir(directory).filePath(fileName);
            if (QFileInfo(path).isFile())
                return path;
        }
        return {};
    };
    const QString library = registeredLibrary.trimmed();
    if (!library.isEmpty()) {
        const bool present =
            library.contains(u'/') ? QFileInfo(library).isFile() : !found(library).isEmpty();
        if (present)
            return kDriverName;
    }
    const QString path = found(kDriverLibrary);
    if (path.isEmpty())
        throw DbError(missingDriverMessage());
    return path;
}

QString freeTdsDriver() {
    return chooseFreeTdsDriver(profileString(kDriverName.toLatin1(), "Driver", "odbcinst.ini"),
                               freeTdsLibraryDirectories());
}

} // namespace zt::db
