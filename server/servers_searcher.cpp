#include "server/servers_searcher.h"

#include "db/freetds_config.h"

#include <QByteArray>

#include <sql.h>
#include <sqlext.h>

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

void appendOnce(QStringList& names, const QString& name) {
    if (fitsBrowseAnswer(name) && !names.contains(name, Qt::CaseInsensitive)) {
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

QString knownServersAnswer() {
    QStringList names;
    // Listed by the names FreeTDS knows them by, so each connects as listed.
    for (const QString& alias : db::freeTdsAliases()) {
        appendOnce(names, alias);
    }
    for (const QString& dataSource : db::freeTdsDataSources()) {
        appendOnce(names, dataSource);
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
