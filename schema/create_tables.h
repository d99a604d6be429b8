#pragma once
// Gives a freshly created account-set database its 108 tables.

#include <functional>

namespace zt::db {
class Query;
}

namespace zt::schema {

// Called after each table has been created: how many are done, out of how many.
using CreationProgress = std::function<void(int created, int total)>;

// Runs one CREATE TABLE per batch on the query's connection, in creation order. The first
// statement the server refuses ends the run with its DbError; the tables created before it
// stay, as nothing here runs in a transaction.
void ActcreatExecute(db::Query& create, const CreationProgress& progress = {});

} // namespace zt::schema
