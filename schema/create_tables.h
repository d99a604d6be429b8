#pragma once
// Gives a freshly created account-set database its 108 tables.

#include <QStringList>

#include <functional>

namespace zt::db {
class Query;
}

namespace zt::schema {

// Called after each batch of tables has been created: how many are done, out of how many.
// It may throw to stop the run there.
using TableCreationProgress = std::function<void(int created, int total)>;

// How many CREATE TABLE statements go to one batch: a few answers from the server for the
// whole schema, and a progress step for each.
inline constexpr int tablesPerBatch = 54;

// The 108 CREATE TABLE statements in creation order, each its lines joined by line breaks.
QStringList createTableStatements();

// Runs the statements on the query's connection in creation order, tablesPerBatch to a batch,
// inside one transaction. The first error the server reports ends the run with its DbError;
// no later batch is sent and the tables made so far are rolled back.
void createSchema(db::Query& create, const TableCreationProgress& progress = {});

} // namespace zt::schema
