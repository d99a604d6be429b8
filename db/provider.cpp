#include "db/provider.h"

#include "db/connection_string.h"
#include "db/odbc_provider.h"
#include "db/sqlite_provider.h"

namespace zt::db {

std::unique_ptr<Provider> openProvider(const QString& connectionString) {
    const ConnectionProperties properties = ConnectionProperties::parse(connectionString);
    switch (providerKind(properties)) {
    case ProviderKind::Jet:
        return std::make_unique<SqliteProvider>(properties.value(QStringLiteral("Data Source")));
    case ProviderKind::SqlServer:
        return std::make_unique<OdbcProvider>(properties);
    }
    return {};
}

} // namespace zt::db
