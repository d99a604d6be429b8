// The full catalogue: every group of tables, expanded into one table per name and put in
// creation order.

#include "schema/table.h"
#include "schema/table_parts.h"

#include <QList>

#include <algorithm>

namespace zt::schema {
namespace {

// Code-point order, so that the order does not depend on a locale or a collation.
bool byCharacterCode(const Table& left, const Table& right) {
    const QList<uint> a = left.name.toUcs4();
    const QList<uint> b = right.name.toUcs4();
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

void appendTables(std::vector<Table>& tables, const std::vector<TableDefinition>& definitions) {
    for (const TableDefinition& definition : definitions) {
        for (const char* name : definition.tableNames) {
            tables.push_back(Table{QString::fromUtf8(name), definition.columns});
        }
    }
}

std::vector<Table> buildCatalogue() {
    std::vector<Table> tables;
    appendTables(tables, tradingDocumentTables());
    appendTables(tables, stockTables());
    appendTables(tables, masterDataTables());
    appendTables(tables, moneyTables());
    appendTables(tables, fixedAssetTables());
    appendTables(tables, pointOfSaleTables());
    appendTables(tables, layoutUserSystemTables());
    std::sort(tables.begin(), tables.end(), byCharacterCode);
    return tables;
}

} // namespace

QString typeName(ColumnType type) {
    switch (type) {
    case ColumnType::NVarChar:
        return QStringLiteral("nvarchar");
    case ColumnType::NText:
        return QStringLiteral("ntext");
    case ColumnType::Money:
        return QStringLiteral("money");
    case ColumnType::Int:
        return QStringLiteral("int");
    case ColumnType::BigInt:
        return QStringLiteral("bigint");
    case ColumnType::SmallDateTime:
        return QStringLiteral("smalldatetime");
    case ColumnType::Float:
        return QStringLiteral("float");
    case ColumnType::Bit:
        return QStringLiteral("bit");
    }
    return {};
}

bool isCharacterType(ColumnType type) {
    return type == ColumnType::NVarChar || type == ColumnType::NText;
}

const std::vector<Table>& accountSetTables() {
    static const std::vector<Table> tables = buildCatalogue();
    return tables;
}

const Table* findTable(const QString& name) {
    const std::vector<Table>& tables = accountSetTables();
    const auto found = std::find_if(tables.begin(), tables.end(),
                                    [&](const Table& table) { return table.name == name; });
    return found == tables.end() ? nullptr : &*found;
}

} // namespace zt::schema
