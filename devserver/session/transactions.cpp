// BEGIN/COMMIT/ROLLBACK TRANSACTION, implicit transactions and which errors end a batch.

#include "devserver/session/session_impl.h"

#include "devserver/sql/errors.h"

#include <algorithm>

namespace ztds {

using sql::SqlError;
using Change = StatementResult::TransactionChange;

namespace {

// Errors after which SQL Server stops the batch even with XACT_ABORT OFF: conversion and
// arithmetic failures.
bool isBatchAborting(int number) {
    static constexpr int numbers[] = {241, 242, 245, 248, 293, 295, 296, 8114, 8115, 8134, 8169};
    return std::find(std::begin(numbers), std::end(numbers), number) != std::end(numbers);
}

} // namespace

SessionImpl::~SessionImpl() {
    rollbackAll(); // a connection that goes away takes its open transaction with it
}

void SessionImpl::rollbackAll() {
    if (transaction_.file)
        transaction_.file->rollback();
    transaction_ = UserTransaction{};
}

StatementResult SessionImpl::beginTransaction(const sql::Statement& s) {
    StatementResult r;
    if (transaction_.count == 0) {
        transaction_.name = s.names.isEmpty() ? QString() : s.names.front();
        r.transactionChange = Change::Began;
    }
    ++transaction_.count;
    return r;
}

StatementResult SessionImpl::commitTransaction(const sql::Statement& s) {
    if (transaction_.count == 0) {
        if (s.onlyInTransaction)
            return {};
        throw SqlError(3902, 16, 1,
                       QStringLiteral("The COMMIT TRANSACTION request has no corresponding BEGIN "
                                      "TRANSACTION."));
    }
    if (--transaction_.count > 0)
        return {};
    StatementResult r;
    r.transactionChange = Change::Committed;
    auto file = std::move(transaction_.file);
    transaction_ = UserTransaction{};
    if (file) {
        try {
            file->commit(); // durable once this returns: one sync for the whole transaction
        } catch (...) {
            file->rollback();
            throw;
        }
    }
    return r;
}

StatementResult SessionImpl::rollbackTransaction(const sql::Statement& s) {
    if (transaction_.count == 0) {
        if (s.onlyInTransaction)
            return {};
        throw SqlError(3903, 16, 1,
                       QStringLiteral("The ROLLBACK TRANSACTION request has no corresponding "
                                      "BEGIN TRANSACTION."));
    }
    if (!s.names.isEmpty() && s.names.front().compare(transaction_.name, Qt::CaseInsensitive) != 0)
        throw SqlError(6401, 16, 1,
                       QStringLiteral("Cannot roll back %1. No transaction or savepoint of that "
                                      "name was found.")
                           .arg(s.names.front()));
    rollbackAll();
    StatementResult r;
    r.transactionChange = Change::RolledBack;
    return r;
}

storage::DatabaseFile::Transaction SessionImpl::statementTransaction(DatabaseUse& db, bool write) {
    if (write && transaction_.count > 0) {
        if (transaction_.key.isEmpty()) {
            transaction_.lease = DatabaseLease::acquire(engine_, db.name);
            transaction_.file = db.owned ? db.owned : file_;
            transaction_.file->begin();
            transaction_.key = db.key;
        } else if (transaction_.key != db.key) {
            sql::throwNotSupported(
                QStringLiteral("A transaction that writes in more than one database ('%1' and "
                               "'%2')")
                    .arg(transaction_.lease.name(), db.name));
        }
    }
    return storage::DatabaseFile::Transaction(*db.file, write);
}

bool SessionImpl::abortsBatch(const StatementResult& failed) const {
    if (xactAbort_)
        return true;
    for (const auto& m : failed.messages)
        if (m.isError())
            return isBatchAborting(m.number);
    return false;
}

bool SessionImpl::startsImplicitTransaction(const sql::Statement& s) const {
    using Kind = sql::Statement::Kind;
    switch (s.kind) {
    case Kind::CreateTable:
    case Kind::DropTable:
    case Kind::Insert:
    case Kind::Update:
    case Kind::Delete:
    case Kind::BeginTransaction:
        return true;
    case Kind::Select:
        return s.hasFrom;
    default:
        return false;
    }
}

void SessionImpl::refuseInTransaction(const char* statement) const {
    if (transaction_.count == 0)
        return;
    const QString name = QString::fromLatin1(statement);
    if (name.startsWith(QLatin1String("BACKUP")) || name.startsWith(QLatin1String("RESTORE")))
        throw SqlError(
            {sql::makeMessage(3021, 16, 1,
                              QStringLiteral("Cannot perform a backup or restore "
                                             "operation within a transaction.")),
             sql::makeMessage(3013, 16, 1,
                              QStringLiteral("%1 is terminating abnormally.").arg(name))});
    throw SqlError(
        226, 16, 6,
        QStringLiteral("%1 statement not allowed within multi-statement transaction.").arg(name));
}

void SessionImpl::reset(bool keepTransaction) {
    if (!keepTransaction)
        rollbackAll();
    nocount_ = false;
    fmtOnly_ = false;
    xactAbort_ = false;
    implicitTransactions_ = false;
    textSize_.reset();
    lastIdentity_.reset();
    scopeIdentity_.reset();
    lastRowCount_ = 0;
    if (storage::foldName(initialDatabase_) == database_.key())
        return;
    if (transaction_.file && transaction_.key == storage::foldName(initialDatabase_)) {
        file_ = transaction_.file;
        database_ = DatabaseLease::acquire(engine_, initialDatabase_);
        return;
    }
    DatabaseLease lease = DatabaseLease::acquire(engine_, initialDatabase_);
    if (!lease.valid())
        return; // dropped since the login: stay where we are
    file_ = storage::DatabaseFile::open(lease.file(), false);
    database_ = std::move(lease);
}

} // namespace ztds
