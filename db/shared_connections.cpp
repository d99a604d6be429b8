#include "db/shared_connections.h"

#include "db/connection_string.h"
#include "db/provider.h"
#include "db/query.h"

namespace zt::db {

QString connectionKey(const QString& connectionString) {
    try {
        const ConnectionProperties properties = ConnectionProperties::parse(connectionString);
        if (providerKind(properties) != ProviderKind::SqlServer)
            return connectionString;
        return odbcConnectionString(properties) + QStringLiteral("|timeout=") +
               properties.value(QStringLiteral("Connect Timeout")).trimmed();
    } catch (const DbError&) {
        return connectionString; // opening it reports what is wrong
    }
}

std::shared_ptr<Provider> SharedConnections::connect(const QString& connectionString) {
    const QString key = connectionKey(connectionString);
    if (const auto found = open_.find(key); found != open_.end())
        if (std::shared_ptr<Provider> held = found->second.lock())
            return held;
    std::shared_ptr<Provider> opened = openProvider(connectionString);
    open_[key] = opened;
    return opened;
}

void SharedConnections::release(const QString& connectionString) {
    open_.erase(connectionKey(connectionString));
}

} // namespace zt::db
