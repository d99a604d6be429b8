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

QList<Batch> composeBatches(const QStringList& statements, const BatchPlan& plan) {
    const int total = int(statements.size());
    const int perBatch = std::max(1, plan.statementsPerBatch);
    QList<Batch> batches;
    int first = 0;
    do {
        QStringList lines = statements.mid(first, perBatch);
        const int done = std::min(total, first + perBatch);
        // Under XACT_ABORT a statement-level error (a duplicate key, a NULL into NOT NULL, a
        // cut string) ends the batch and rolls the whole transaction back; without it the
        // server would go on and commit the rest of the batch.
        if (plan.transaction && first == 0)
            lines = QStringList{QStringLiteral("SET XACT_ABORT ON"),
                                QStringLiteral("BEGIN TRANSACTION")} +
                    lines;
        if (plan.transaction && done == total)
            lines << QStringLiteral("COMMIT TRANSACTION") << QStringLiteral("SET XACT_ABORT OFF");
        if (!lines.isEmpty())
            batches.append({lines.join(u'\n'), done});
        first = done;
    } while (first < total);
    return batches;
}

void executeInBatches(Query& query, const QStringList& statements, const BatchPlan& plan) {
    const int total = int(statements.size());
    try {
        for (const Batch& batch : composeBatches(statements, plan)) {
            runText(query, {batch.text});
            if (plan.sent)
                plan.sent(batch.done, total);
        }
    } catch (...) {
        if (plan.transaction)
            rollBack(query);
        throw;
    }
}

} // namespace zt::db
