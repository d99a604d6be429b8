#pragma once
// What the seeding and account-set tests share: a private zt-devserver with the sa login,
// a local configuration database made from data/CHWHDB.sql in a temporary directory, and
// short ways to look at both.

#include "db/query.h"
#include "tests/support/devserver_process.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zt::test {

class AccountSetFixture {
public:
    explicit AccountSetFixture(const QStringList& serverArgs = {});

    // Starts the server and makes the local database with the sa login stored for it.
    bool start();

    DevServerProcess& server() { return server_; }
    QString serverName() const { return server_.dataSource(); }
    QString credentialPart() const; // sa with an empty password
    QString localDatabasePath() const;
    QString localConnectionString() const;
    QString directory() const { return dir_.path(); }
    // The options that point zt-admin at this server as sa and at the local database.
    QStringList adminOptions() const;

    // Every helper below reports failure (false, "<error> ..." or -1, with a warning) rather
    // than throwing, so that a failing test stops alone.

    // Statements on the local database (several allowed, run through SQLite itself).
    bool execLocal(const QString& sql) const;
    // The values of one column of a select on the local database, NULL as "<null>".
    QStringList localColumn(const QString& select, const QString& column) const;

    // On the server, as sa.
    bool execServer(const QString& database, const QString& statement) const;
    QStringList serverColumn(const QString& database, const QString& select,
                             const QString& column) const;
    int serverCount(const QString& database, const QString& table) const;
    bool databaseExists(const QString& database) const;

    // Creates a database with its 108 tables, nothing seeded.
    bool createEmptyAccountSet(const QString& database) const;

    // The network registry master.CHdatebase, empty.
    bool createRegistry() const;
    // A registry row for an account set of this server (the registry must exist).
    bool addRegistryRow(const QString& accountSet, const QString& password) const;
    // A row of the local 帐套信息表 for an account set of this server.
    bool registerLocally(const QString& accountSet, const QString& password, bool network) const;

private:
    DevServerProcess server_;
    QTemporaryDir dir_;
};

inline QString nullText() {
    return QStringLiteral("<null>");
}

} // namespace zt::test
