#include "server/servers_searcher.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <sql.h>
#include <sqlext.h>

#include <odbcinst.h>

#include <array>
#include <optional>
#include <vector>

namespace zt::server {

namespace {

constexpr QLatin1StringView serversOpen("={");
constexpr QLatin1StringView serversClose("};");
constexpr QLatin1Char separator(',');

// Handles of one browse; released in reverse order of allocation whatever path is taken.
class BrowseHandles {
public:
    BrowseHandles() = default;
    BrowseHandles(const BrowseHandles&) = delete;
    BrowseHandles& operator=(const BrowseHandles&) = delete;
    ~BrowseHandles() {
        if (FConnHandle != SQL_NULL_HDBC) {
            SQLDisconnect(FConnHandle);
            SQLFreeHandle(SQL_HANDLE_DBC, FConnHandle);
        }
        if (FEnvHandle != SQL_NULL_HENV) {
            SQLFreeHandle(SQL_HANDLE_ENV, FEnvHandle);
        }
    }

    SQLHENV FEnvHandle = SQL_NULL_HENV;
    SQLHDBC FConnHandle = SQL_NULL_HDBC;
};

bool allocateOdbc3Environment(SQLHENV& env) {
    // Anything but SQL_ERROR counts as an allocated environment, as the driver manager promises.
    if (SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env) == SQL_ERROR) {
        env = SQL_NULL_HENV;
        return false;
    }
    return env != SQL_NULL_HENV &&
           SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                         0) == SQL_SUCCESS;
}

QString textOf(const SQLCHAR* buffer, std::size_t size) {
    const auto* chars = reinterpret_cast<const char*>(buffer);
    return QString::fromLocal8Bit(chars, static_cast<qsizetype>(qstrnlen(chars, size)));
}

// Whether a browse answer can carry the name: a "," would cut it, "}" or ";" end the list.
bool fitsBrowseAnswer(const QString& name) {
    return !name.isEmpty() && !name.contains(separator) && !name.contains(QLatin1Char('}')) &&
           !name.contains(QLatin1Char(';'));
}

QString profileString(const QByteArray& section, const char* entry, const char* file) {
    std::array<char, 1024> value{};
    SQLGetPrivateProfileString(section.constData(), entry, "", value.data(),
                               static_cast<int>(value.size()), file);
    return QString::fromLocal8Bit(value.data(),
                                  static_cast<qsizetype>(qstrnlen(value.data(), value.size())));
}

// A data source uses FreeTDS when its driver library, named directly or through the
// driver's entry in odbcinst.ini, is FreeTDS's ODBC driver.
bool usesFreeTdsDriver(const QByteArray& dataSource, const QString& driverName) {
    QString driver = profileString(dataSource, "Driver", "odbc.ini");
    if (driver.isEmpty()) {
        driver = driverName;
    }
    if (!driver.contains(QLatin1Char('/'))) {
        driver = profileString(driver.toLocal8Bit(), "Driver", "odbcinst.ini");
    }
    return QFileInfo(driver).fileName().contains(QLatin1String("tdsodbc"));
}

// The server a FreeTDS data source points at: its freetds.conf entry, else its host; a host
// on another port than the default cannot be named in a browse answer.
std::optional<QString> dataSourceServer(const QByteArray& dataSource) {
    const QString serverName = profileString(dataSource, "Servername", "odbc.ini").trimmed();
    if (!serverName.isEmpty()) {
        return serverName;
    }
    const QString host = profileString(dataSource, "Server", "odbc.ini").trimmed();
    const QString port = profileString(dataSource, "Port", "odbc.ini").trimmed();
    if (host.isEmpty() || !(port.isEmpty() || port == QLatin1String("1433"))) {
        return std::nullopt;
    }
    return host;
}

void appendOnce(QStringList& names, const QString& name) {
    if (fitsBrowseAnswer(name) && !names.contains(name)) {
        names.append(name);
    }
}

} // namespace

bool ParseServerList(const QString& answer, QStringList& target) {
    target.clear();
    QString rest = answer;
    const qsizetype open = rest.indexOf(serversOpen);
    // Without "={" only the first character goes.
    rest.remove(0, open < 0 ? 1 : open + serversOpen.size());
    const qsizetype close = rest.indexOf(serversClose);
    if (close >= 0) {
        rest.truncate(close);
    }
    for (qsizetype comma = rest.indexOf(separator); comma >= 0; comma = rest.indexOf(separator)) {
        target.append(rest.left(comma));
        rest.remove(0, comma + 1);
    }
    if (!rest.isEmpty()) {
        target.append(rest);
    }
    return true;
}

QStringList freeTdsConfigFiles() {
    QStringList candidates;
    const QString explicitFile = qEnvironmentVariable("FREETDSCONF");
    if (!explicitFile.isEmpty()) {
        candidates.append(explicitFile);
    }
    const QString installation = qEnvironmentVariable("FREETDS");
    if (!installation.isEmpty()) {
        candidates.append(installation + QStringLiteral("/etc/freetds.conf"));
    }
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty()) {
        candidates.append(home + QStringLiteral("/.freetds.conf"));
    }
    candidates.append(QStringLiteral("/etc/freetds/freetds.conf"));

    QStringList files;
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile() && !files.contains(candidate)) {
            files.append(candidate);
        }
    }
    return files;
}

QStringList freeTdsConfigServers(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    QStringList servers;
    QTextStream lines(&file);
    while (!lines.atEnd()) {
        const QString line = lines.readLine().trimmed();
        const qsizetype end = line.indexOf(QLatin1Char(']'));
        if (!line.startsWith(QLatin1Char('[')) || end < 0) {
            continue;
        }
        const QString section = line.mid(1, end - 1).trimmed();
        // [global] holds the defaults of every server, it names none.
        if (!section.isEmpty() &&
            section.compare(QLatin1String("global"), Qt::CaseInsensitive) != 0) {
            servers.append(section);
        }
    }
    return servers;
}

QStringList freeTdsDataSourceServers() {
    BrowseHandles handles;
    if (!allocateOdbc3Environment(handles.FEnvHandle)) {
        return {};
    }
    QStringList servers;
    std::array<SQLCHAR, SQL_MAX_DSN_LENGTH + 1> name{};
    std::array<SQLCHAR, 256> driver{};
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT driverLength = 0;
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST; SQL_SUCCEEDED(SQLDataSources(
             handles.FEnvHandle, direction, name.data(), static_cast<SQLSMALLINT>(name.size()),
             &nameLength, driver.data(), static_cast<SQLSMALLINT>(driver.size()), &driverLength));
         direction = SQL_FETCH_NEXT) {
        const QByteArray dataSource = textOf(name.data(), name.size()).toLocal8Bit();
        if (!usesFreeTdsDriver(dataSource, textOf(driver.data(), driver.size()))) {
            continue;
        }
        if (const auto server = dataSourceServer(dataSource)) {
            servers.append(*server);
        }
    }
    return servers;
}

QString knownServersAnswer() {
    QStringList names;
    for (const QString& file : freeTdsConfigFiles()) {
        for (const QString& server : freeTdsConfigServers(file)) {
            appendOnce(names, server);
        }
    }
    for (const QString& server : freeTdsDataSourceServers()) {
        appendOnce(names, server);
    }
    if (names.isEmpty()) {
        return {};
    }
    return QStringLiteral("SERVER:Server={") + names.join(separator) +
           QStringLiteral("};UID:Login ID=?;PWD:Password=?;");
}

TServersSearcher::TServersSearcher() {
    // One search, then the object goes; its owner never waits for it.
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

TServersSearcher::~TServersSearcher() = default;

void TServersSearcher::run() {
    try {
        if (const std::optional<QString> answer = browse()) {
            publish(*answer);
            return;
        }
        // No driver answers a browse here: fall back to what FreeTDS is configured for.
        const QString known = knownServersAnswer();
        if (!known.isEmpty()) {
            publish(known);
        }
    } catch (...) {
        // A search that fails leaves the list as it was; nothing is reported.
    }
}

std::optional<QString> TServersSearcher::browse() {
    BrowseHandles handles;
    if (!allocateOdbc3Environment(handles.FEnvHandle)) {
        return std::nullopt;
    }
    if (SQLAllocHandle(SQL_HANDLE_DBC, handles.FEnvHandle, &handles.FConnHandle) != SQL_SUCCESS) {
        handles.FConnHandle = SQL_NULL_HDBC;
        return std::nullopt;
    }
    std::vector<SQLCHAR> FBrowseBuffer(browseBufferSize, 0);
    SQLSMALLINT FBrowseLength = 0;
    QByteArray FConnectString("Driver={SQL Server}");
    const SQLRETURN result =
        SQLBrowseConnect(handles.FConnHandle, reinterpret_cast<SQLCHAR*>(FConnectString.data()),
                         SQL_NTS, FBrowseBuffer.data(), browseBufferSize, &FBrowseLength);
    if (result == SQL_ERROR || result == SQL_INVALID_HANDLE) {
        return std::nullopt;
    }
    // Never read past the buffer, whatever the driver left in it.
    return textOf(FBrowseBuffer.data(), FBrowseBuffer.size());
}

void TServersSearcher::publish(const QString& answer) {
    QStringList servers;
    ParseServerList(answer, servers);
    emit serversFound(servers);
}

} // namespace zt::server
