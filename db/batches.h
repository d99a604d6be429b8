#pragma once
// Sending many statements in few batches: each batch is one request and one answer, however
// many statements it holds.

#include <QStringList>

#include <functional>

namespace zt::db {

class Query;

struct BatchPlan {
    int statementsPerBatch = 100;
    // SET XACT_ABORT ON and BEGIN TRANSACTION before the first statement, COMMIT TRANSACTION
    // and SET XACT_ABORT OFF after the last: any error rolls back the whole transaction, and a
    // failure (or a throw from `sent`) rolls back before it leaves.
    bool transaction = false;
    // Told after each batch has run: statements done, of how many. It may throw to stop.
    std::function<void(int done, int total)> sent;
};

// One batch as sent: its text, and how many of the statements are done once it has run.
struct Batch {
    QString text;
    int done = 0;
};

// The batches that executeInBatches sends for the statements, in order.
QList<Batch> composeBatches(const QStringList& statements, const BatchPlan& plan);

// Runs the statements in order on the query's connection, joined by line breaks, so many to a
// batch. The first error the server reports for a batch ends the run with its DbError; the
// batches after it are not sent.
void executeInBatches(Query& query, const QStringList& statements, const BatchPlan& plan);

} // namespace zt::db
