#include "db/shared_connections.h"

#include "db/connection_string.h"
#include "db/odbc_provider.h"
#include "db/provider.h"
#include "db/query.h"
#include "db/sql_literal.h"

#include <exception>
#include <optional>

namespace zt::db {

namespace {

const QString catalogKey = QStringLiteral("Initial Catalog");
// SQL Server's "Cannot open user default database. Login failed."
constexpr int cannotOpenDefaultDatabase = 4064;

} // namespace

// One login to a server, opened without a database: it starts where the login's default
// database puts it.
struct ServerLink {
    explicit ServerLink(const ConnectionProperties& properties)
        : connection(properties), defaultDatabase(connection.currentDatabase()) {}
    OdbcProvider connection;
    QString defaultDatabase;
};

namespace {

bool sameDatabase(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A query object's view of a shared server connection: every call runs in the view's database.
class DatabaseView : public Provider {
public:
    DatabaseView(std::shared_ptr<ServerLink> link, QString database)
        : link_(std::move(link)), database_(std::move(database)) {}

    ~DatabaseView() override {
        // Others still use the connection: it leaves this view's database, which may be
        // dropped or renamed next.
        if (link_.use_count() <= 1 || database_.isEmpty() ||
            sameDatabase(database_, link_->defaultDatabase) ||
            !sameDatabase(link_->connection.currentDatabase(), database_))
            return;
        try {
            link_->connection.execute(QStringLiteral("use ") +
                                      bracketedName(link_->defaultDatabase));
        } catch (const std::exception&) {
            // The connection is gone, and holds no database any more.
        }
    }
    DatabaseView(const DatabaseView&) = delete;
    DatabaseView& operator=(const DatabaseView&) = delete;

    void enter() {
        if (!database_.isEmpty() && !sameDatabase(link_->connection.currentDatabase(), database_))
            link_->connection.execute(QStringLiteral("use ") + bracketedName(database_));
    }

    ResultSet select(const QString& sql) override {
        enter();
        return link_->connection.select(sql);
    }
    ResultSet selectEvery(const QString& sql) override {
        enter();
        return link_->connection.selectEvery(sql);
    }
    void execute(const QString& sql) override {
        enter();
        link_->connection.execute(sql);
    }
    void insertRow(const ResultSet& result, Row& row, const QVector<bool>& assigned) override {
        enter();
        link_->connection.insertRow(result, row, assigned);
    }
    void updateRow(const ResultSet& result, const Row& original, const Row& changed,
                   const QVector<bool>& assigned) override {
        enter();
        link_->connection.updateRow(result, original, changed, assigned);
    }
    void deleteRow(const ResultSet& result, const Row& row) override {
        enter();
        link_->connection.deleteRow(result, row);
    }

private:
    std::shared_ptr<ServerLink> link_;
    QString database_; // empty: wherever the login's default database is unknown
};

} // namespace

QString connectionKey(const QString& connectionString) {
    try {
        const ConnectionProperties properties = ConnectionProperties::parse(connectionString);
        if (providerKind(properties) != ProviderKind::SqlServer)
            return connectionString;
        return odbcConnectionString(properties.without(catalogKey)) + QStringLiteral("|timeout=") +
               properties.value(QStringLiteral("Connect Timeout")).trimmed();
    } catch (const DbError&) {
        return connectionString; // opening it reports what is wrong
    }
}

std::shared_ptr<Provider> SharedConnections::connect(const QString& connectionString) {
    std::optional<ConnectionProperties> properties;
    try {
        properties = ConnectionProperties::parse(connectionString);
        if (providerKind(*properties) != ProviderKind::SqlServer)
            properties.reset();
    } catch (const DbError&) {
        properties.reset(); // opening it reports what is wrong
    }
    if (!properties) {
        if (const auto found = files_.find(connectionString); found != files_.end())
            if (std::shared_ptr<Provider> held = found->second.lock())
                return held;
        std::shared_ptr<Provider> opened = openProvider(connectionString);
        files_[connectionString] = opened;
        return opened;
    }

    const QString key = connectionKey(connectionString);
    const QString catalog = properties->value(catalogKey).trimmed();
    std::shared_ptr<ServerLink> link = servers_[key].lock();
    if (!link) {
        try {
            link = std::make_shared<ServerLink>(properties->without(catalogKey));
        } catch (const DbError& refusal) {
            // A login whose default database is gone gets in only where the string says.
            if (catalog.isEmpty() || refusal.number() != cannotOpenDefaultDatabase)
                throw;
            return openProvider(connectionString);
        }
        servers_[key] = link;
    }
    auto view =
        std::make_shared<DatabaseView>(link, catalog.isEmpty() ? link->defaultDatabase : catalog);
    try {
        view->enter();
    } catch (const DbError& refusal) {
        // Not into this database with "use": a connection of its own, opened as the string
        // says, answers as a login to it does (the same refusal, or a way in).
        if (refusal.source() != ErrorSource::Server)
            throw;
        return openProvider(connectionString);
    }
    return view;
}

void SharedConnections::release(const QString& connectionString) {
    files_.erase(connectionString);
    servers_.erase(connectionKey(connectionString));
}

} // namespace zt::db
