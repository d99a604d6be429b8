#include "db/batches.h"

#include "db/query.h"

#include <algorithm>
#include <exception>

namespace zt::db {

namespace {

void runText(Query& query, const QStringList& lines) {
    query.close();
    query.sqlClear();
    for (const QString& line : lines)
        query.sqlAdd(line);
    query.execSql();
}

void rollBack(Query& query) {
    try {
        runText(query, {QStringLiteral("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION")});
    } catch (const std::exception&) {
        // The connection is gone, and the server rolls back with it.
    }
}

} // namespace

void executeInBatches(Query& query, const QStringList& statements, const BatchPlan& plan) {
    const int total = int(statements.size());
    const int perBatch = std::max(1, plan.statementsPerBatch);
    try {
        for (int first = 0; first < total || (first == 0 && plan.transaction); first += perBatch) {
            QStringList batch = statements.mid(first, perBatch);
            if (plan.transaction && first == 0)
                batch.prepend(QStringLiteral("BEGIN TRANSACTION"));
            const int done = std::min(total, first + perBatch);
            if (plan.transaction && done == total)
                batch.append(QStringLiteral("COMMIT TRANSACTION"));
            runText(query, batch);
            if (plan.sent)
                plan.sent(done, total);
            if (done == total)
                break;
        }
    } catch (...) {
        if (plan.transaction)
            rollBack(query);
        throw;
    }
}

} // namespace zt::db
