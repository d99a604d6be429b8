#pragma once
// Proving an existing account set against the 108 table definitions and its default rows,
// and repairing what can be repaired without touching anything that exists. Reads only the
// catalog views every SQL Server since 2005 answers, a handful of statements in all.

#include <QString>
#include <QStringList>

#include <vector>

namespace zt::accountset {

// Where an account set lives: the server as typed and its credential part (the login).
struct ServerTarget {
    QString serverName;
    QString credentialPart;
};

enum class DriftKind {
    MissingTable,
    ExtraTable, // shown, never counted as a difference
    MissingColumn,
    ExtraColumn,
    ColumnOrder,
    ColumnType,
    ColumnLength,
    Nullability,
    Identity,
    PrimaryKey,
    Collation,
    ExtraConstraint,
    MissingSuperAdministrator,
    MissingRights,
    RightNotGranted,
};

// One difference. expected/found are short texts; empty means "none".
struct Drift {
    DriftKind kind = DriftKind::MissingTable;
    QString table;
    QString column;
    QString expected;
    QString found;
};

// A difference in an existing table's columns or key: repair never alters those.
bool isColumnDrift(DriftKind kind);
// "missingTable", "columnType", ... for scripts.
QString driftKindKey(DriftKind kind);
// "缺少表", "类型不同", ... for people.
QString driftKindText(DriftKind kind);

// The round trips a command made to the server: its statements, each a batch answered before
// the next, and the time they took.
struct RoundTrips {
    int statements = 0;
    double seconds = 0;
};

struct Verification {
    QString database;
    std::vector<Drift> drifts; // tables in creation order, then the default rows
    QStringList missingTables; // in creation order
    bool superAdministratorMissing = false;
    std::vector<int> missingRights; // right numbers, ascending
    RoundTrips roundTrips;

    // Differences other than extra tables.
    int differenceCount() const;
    int extraTableCount() const;
    bool matches() const { return differenceCount() == 0; }
};

// A name that can go into a statement as it is: an acceptable account-set name without
// surrounding blanks. Throws db::DbError with the refusal text otherwise.
void requireStatementSafeName(const QString& name);

// Reads the account set's catalog and default rows and compares them with the definitions.
// Throws db::DbError when the database does not exist or the server fails.
Verification verifyAccountSet(const ServerTarget& server, const QString& database);

struct Repair {
    bool refused = false;          // columns differ: nothing was done
    std::vector<Drift> refusedFor; // the column differences
    QStringList createdTables;
    bool addedSuperAdministrator = false;
    int addedRights = 0;
    QStringList filledTemplateTables; // empty template tables that received their rows
    Verification before;
    Verification after; // verified again when something was done
    RoundTrips roundTrips;
};

// Creates missing tables with the creation's own statements, adds a missing super
// administrator and missing rights rows, and gives every empty template table the template
// rows creation would have given it. Never drops or alters a table, column or row; refuses when
// columns differ. The templates are read from the local configuration database.
Repair repairAccountSet(const ServerTarget& server, const QString& database,
                        const QString& localConnectionString);

} // namespace zt::accountset
