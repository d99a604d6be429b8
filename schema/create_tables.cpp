#include "schema/create_tables.h"

#include "db/query.h"
#include "schema/create_statement.h"
#include "schema/table.h"

namespace zt::schema {
namespace {

void createTable(db::Query& create, const Table& table) {
    create.close();
    create.sqlClear();
    for (const QString& line : createTableLines(table)) {
        create.sqlAdd(line);
    }
    create.execSql();
}

} // namespace

void ActcreatExecute(db::Query& create, const CreationProgress& progress) {
    const std::vector<Table>& tables = accountSetTables();
    const int total = static_cast<int>(tables.size());
    int created = 0;
    for (const Table& table : tables) {
        createTable(create, table);
        ++created;
        if (progress) {
            progress(created, total);
        }
    }
}

} // namespace zt::schema
