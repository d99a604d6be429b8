#pragma once
// The rows every new account set starts with: the super administrator, its 220 rights, and
// the template rows copied from the local configuration database.

#include "db/query.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace zt::seed {

// How a template column travels from the local database into the account set.
enum class Transfer { Text, Integer, Boolean };

struct TemplateColumn {
    QString name;
    Transfer transfer;
};

struct TemplateTable {
    QString name;
    std::vector<TemplateColumn> columns;
};

// The eleven template tables in copy order, each with its copied columns in order.
std::vector<TemplateTable> templateTables();

// Copies every row of one template table from the local configuration database into the
// account-set table of the same name: its rows in a few batches inside one transaction.
void copyTemplateTable(db::Query& source, db::Query& target, const TemplateTable& table);

// "超级管理员"
QString superAdministratorName();
inline constexpr int rightCount = 220;

// Told after each batch of rows: statements done, of how many. It may throw to stop the run;
// the rows sent so far are then rolled back.
using SeedProgress = std::function<void(int done, int total)>;

// How many rows go to one batch.
inline constexpr int rowsPerBatch = 180;

// The default rows as single-row INSERT statements in the order they are written: the
// administrator, its rights, then each template table's rows in the order the local database
// returns them. Values are literals converted as assigning them to the table's fields would
// convert them (texts cut to the column width, an empty text NULL in a number or date
// column); a template value that does not convert throws DbError before anything is sent.
QStringList defaultDataStatements(db::Query& source);

// seedDefaultData: writes the default rows into the account set that `target` is connected
// to, reading the templates through `source` (the local configuration database). The rows
// travel in batches inside one transaction: all of them or, on a failure (which leaves as
// db::DbError), none.
void seedDefaultData(db::Query& source, db::Query& target, const SeedProgress& progress = {});

} // namespace zt::seed
