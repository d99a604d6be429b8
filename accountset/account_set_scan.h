#pragma once
// What a server holds of this program's work: account sets, complete or half-made, and what
// interrupted work left (unfinished creations, probe databases, network registry rows naming
// no database); clearing what this program left, and never anything else.

#include "accountset/account_set_verifier.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace zt::accountset {

enum class DatabaseKind {
    AccountSet,         // all 108 tables and the default rows
    Incomplete,         // some of the 108 tables, or all of them without the default rows
    Empty,              // no tables at all
    UnfinishedCreation, // the unfinished name of a creation or restore that was cut off
    Probe,              // a probe database of a server check that was cut off
    Unreadable,         // the server refused to show its tables (see error)
};

struct ScannedDatabase {
    QString name;
    DatabaseKind kind = DatabaseKind::Empty;
    int tables = 0;           // how many of the 108 it holds
    int otherTables = 0;      // tables that are none of the 108
    bool defaultRows = false; // the super administrator with its rights
    QString error;
    bool registered = false; // a row of master.CHdatebase names it

    bool complete() const { return kind == DatabaseKind::AccountSet; }
    // Work of this program that was cut off: clean-up removes it without being asked by name.
    bool leftover() const;
};

// A row of master.CHdatebase whose account set has no database on the server.
struct OrphanRegistryRow {
    qint64 id = 0;
    QString name;
};

struct Scan {
    // Account sets, half-made ones, empty databases and leftovers; databases that hold other
    // tables only are not this program's and are left out.
    std::vector<ScannedDatabase> databases;
    std::vector<OrphanRegistryRow> orphanRegistryRows;
    bool registryExists = false;
    RoundTrips roundTrips;
};

// Every user database of the server in a few statements, however many there are.
Scan scanServer(const ServerTarget& server);

enum class DropOutcome {
    Dropped,
    NotFound,
    NotAnAccountSet,   // holds tables, none of them the 108
    Complete,          // a complete account set
    Registered,        // named in master.CHdatebase
    RegisteredLocally, // named in this workstation's 帐套信息表 for this server
    Unreadable,        // its tables could not be read
    InUse,             // the server refused: someone is using it
};

struct DropResult {
    DropOutcome outcome = DropOutcome::NotFound;
    int tables = 0;
};

// Drops the named database only when it is a half-made account set (or empty) that neither
// registry names, or a leftover of this program. Throws db::DbError when the server fails.
DropResult dropIncompleteAccountSet(const ServerTarget& server, const QString& database,
                                    const QString& localConnectionString);

struct CleanUpItem {
    QString name; // database, or the account set of a registry row
    DatabaseKind kind = DatabaseKind::UnfinishedCreation;
    bool registryRow = false;                   // a registry row naming no database, not a database
    qint64 registryId = 0;                      // that row's id
    bool named = false;                         // asked for by name
    DropOutcome outcome = DropOutcome::Dropped; // what happened (or would happen)
};

struct CleanUp {
    std::vector<CleanUpItem> items;
    bool applied = false; // false: only what would be removed was listed
    RoundTrips roundTrips;
};

// Removes (apply) or lists what this program left on the server: unfinished creations, probe
// databases, registry rows naming no database, and each named half-made account set that
// dropIncompleteAccountSet would drop. Never a complete or registered account set.
CleanUp cleanUpServer(const ServerTarget& server, const QStringList& namedDatabases,
                      const QString& localConnectionString, bool apply);

} // namespace zt::accountset
