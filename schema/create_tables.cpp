#include "schema/create_tables.h"

#include "db/batches.h"
#include "schema/create_statement.h"
#include "schema/table.h"

namespace zt::schema {

QStringList createTableStatements() {
    QStringList statements;
    for (const Table& table : accountSetTables())
        statements << createTableLines(table).join(u'\n');
    return statements;
}

void createSchema(db::Query& create, const TableCreationProgress& progress) {
    db::BatchPlan plan;
    plan.statementsPerBatch = tablesPerBatch;
    plan.transaction = true; // one commit for the schema, not one per table
    plan.sent = progress;
    db::executeInBatches(create, createTableStatements(), plan);
}

} // namespace zt::schema
