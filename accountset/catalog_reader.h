#pragma once
// Reads catalog views and small row sets over one server-level connection, counting the
// statements and the time they took.

#include "accountset/account_set_verifier.h"
#include "db/query.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <vector>

namespace zt::accountset {

class CatalogReader {
public:
    using Rows = std::vector<QStringList>; // NULL reads as a null QString

    // Throws db::DbError for a server name that is unsafe in a connection string.
    explicit CatalogReader(const ServerTarget& server);

    // Runs one select and returns the named columns of every row.
    Rows select(const QString& statement, const QStringList& columns);
    // Runs a batch of selects answering the same columns, in one exchange; every row of them.
    Rows selectEvery(const QString& batch, const QStringList& columns);
    // Runs one statement without rows.
    void execute(const QString& statement);

    RoundTrips roundTrips() const;

private:
    Rows readRows(const QStringList& columns);

    db::Query query_;
    QElapsedTimer timer_;
    int statements_ = 0;
};

// Whether master holds the network registry CHdatebase.
bool networkRegistryExists(CatalogReader& reader);

} // namespace zt::accountset
