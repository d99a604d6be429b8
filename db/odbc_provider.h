#pragma once
// SQL Server through unixODBC and the FreeTDS driver, with the wide-character calls so that
// Chinese names and values travel as UTF-16.

#include "db/connection_string.h"
#include "db/provider.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

namespace zt::db {

class OdbcProvider : public Provider {
public:
    // Connects at once; throws DbError with the server's or driver's message.
    explicit OdbcProvider(const ConnectionProperties& properties);
    ~OdbcProvider() override;

    ResultSet select(const QString& sql) override;
    ResultSet selectEvery(const QString& sql) override;
    void execute(const QString& sql) override;
    void insertRow(const ResultSet& result, Row& row, const QVector<bool>& assigned) override;
    void updateRow(const ResultSet& result, const Row& original, const Row& changed,
                   const QVector<bool>& assigned) override;
    void deleteRow(const ResultSet& result, const Row& row) override;

    // The database the connection is in, as the server last told the driver (no round trip).
    QString currentDatabase() const;

    struct Handles;

private:
    ResultSet withKeyColumns(const ResultSet& result);
    QStringList primaryKeyOf(const QString& table);

    std::unique_ptr<Handles> handles_;
    QHash<QString, QStringList> primaryKeys_; // by database and table, read once per connection
};

// A driver or server message without FreeTDS's "[FreeTDS][SQL Server]" prefixes.
QString serverMessageText(const QString& diagnosticText);

} // namespace zt::db
