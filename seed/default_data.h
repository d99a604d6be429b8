#pragma once
// The rows every new account set starts with: the super administrator, its 220 rights, and
// the template rows copied from the local configuration database.

#include "db/query.h"

#include <QString>
#include <QStringList>

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
// account-set table of the same name, one post per row.
void copyTemplateTable(db::Query& source, db::Query& target, const TemplateTable& table);

// "超级管理员"
QString superAdministratorName();
inline constexpr int rightCount = 220;

// ActxzrrExecute: writes the default rows into the account set that `target` is connected
// to, reading the templates through `source` (the local configuration database). Every row
// is posted on its own; the first failure leaves as db::DbError with the rows before it kept.
void ActxzrrExecute(db::Query& source, db::Query& target);

} // namespace zt::seed
