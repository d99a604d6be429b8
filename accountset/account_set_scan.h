#pragma once
// Finding the databases on a server that hold account-set tables, complete or half-made, and
// dropping a half-made one that nothing names.

#include "accountset/account_set_verifier.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace zt::accountset {

struct ScannedDatabase {
    QString name;
    int tables = 0;       // how many of the 108 it holds
    bool readable = true; // false: the server refused to show its tables (see error)
    QString error;
    bool registered = false; // a row of master.CHdatebase names it

    bool complete() const;
};

struct Scan {
    std::vector<ScannedDatabase> databases; // holding any of the 108 tables, or unreadable
    QStringList skipped;                    // names that are no plain identifiers: not looked into
    bool registryExists = false;
    Exchanges exchanges;
};

// Every user database of the server, looked into with one statement each.
Scan scanServer(const ServerTarget& server);

enum class DropOutcome {
    Dropped,
    NotFound,
    NotAnAccountSet,   // holds none of the 108 tables
    Complete,          // holds all 108
    Registered,        // named in master.CHdatebase
    RegisteredLocally, // named in this workstation's 帐套信息表 for this server
    Unreadable,        // its tables could not be read
};

struct DropResult {
    DropOutcome outcome = DropOutcome::NotFound;
    int tables = 0;
};

// Drops the database only when it is incomplete and no registry names it. Throws db::DbError
// for a name that cannot go into a statement or when the server fails.
DropResult dropIncompleteAccountSet(const ServerTarget& server, const QString& database,
                                    const QString& localConnectionString);

} // namespace zt::accountset
