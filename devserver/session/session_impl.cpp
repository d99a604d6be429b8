#include "devserver/session/session_impl.h"

#include "devserver/storage/collation.h"

#include "devserver/sql/errors.h"
#include "devserver/sql/parser.h"

namespace ztds {

using sql::SqlError;
using sql::TypedValue;
using sql::TypeTag;
using Change = StatementResult::TransactionChange;

namespace {

void setLine(std::vector<ServerMessage>& messages, int line) {
    for (auto& m : messages)
        m.line = line;
}

} // namespace

std::unique_ptr<Session> makeSession(Engine::Impl& engine, const Login& login, int spid,
                                     DatabaseLease database) {
    return std::make_unique<SessionImpl>(engine, login, spid, std::move(database));
}

SessionImpl::SessionImpl(Engine::Impl& engine, const Login& login, int spid, DatabaseLease database)
    : engine_(engine), login_(login), spid_(spid), database_(std::move(database)) {
    initialDatabase_ = database_.name();
    file_ = storage::DatabaseFile::open(database_.file(), false);
}

std::vector<StatementResult> SessionImpl::executeBatch(const QString& sql) {
    return run(sql, {});
}

std::vector<StatementResult> SessionImpl::executeSql(const QString& sql,
                                                     const std::vector<RpcParameter>& params) {
    return run(sql, params);
}

std::vector<StatementResult> SessionImpl::run(const QString& sql,
                                              const std::vector<RpcParameter>& params) {
    scopeIdentity_.reset();
    params_ = &params;
    std::vector<StatementResult> results;
    std::vector<sql::Statement> statements;
    try {
        statements = sql::parseBatch(sql, {engine_.config.version.maxTypes});
    } catch (const SqlError& e) {
        StatementResult failed;
        failed.failed = true;
        failed.messages = e.messages();
        results.push_back(std::move(failed));
        params_ = nullptr;
        return results;
    }
    for (auto& s : statements) {
        results.push_back(execute(s));
        StatementResult& last = results.back();
        if (last.failed && abortsBatch(last)) {
            if (transaction_.count > 0) {
                rollbackAll();
                last.transactionChange =
                    last.transactionChange == Change::Began ? Change::None : Change::RolledBack;
            }
            break;
        }
    }
    params_ = nullptr;
    return results;
}

StatementResult SessionImpl::execute(sql::Statement& s) {
    StatementResult result;
    bool began = false;
    try {
        if (implicitTransactions_ && transaction_.count == 0 && !fmtOnly_ &&
            startsImplicitTransaction(s)) {
            transaction_.count = 1;
            began = true;
        }
        result = dispatch(s);
    } catch (const SqlError& e) {
        result = StatementResult{};
        result.failed = true;
        result.messages = e.messages();
    } catch (const storage::StorageError& e) {
        result = StatementResult{};
        result.failed = true;
        if (e.busy())
            result.messages.push_back(sql::makeMessage(
                1222, 16, 45, QStringLiteral("Lock request time out period exceeded.")));
        else
            result.messages.push_back(
                sql::makeMessage(50000, 16, 1,
                                 QStringLiteral("zt-devserver storage failure: %1")
                                     .arg(QString::fromUtf8(e.what()))));
    } catch (const std::exception& e) {
        result = StatementResult{};
        result.failed = true;
        result.messages.push_back(sql::makeMessage(
            50000, 16, 1,
            QStringLiteral("zt-devserver internal failure: %1").arg(QString::fromUtf8(e.what()))));
    }
    if (began && result.transactionChange == Change::None)
        result.transactionChange = Change::Began;
    if (result.resultSet)
        applyTextSize(*result.resultSet);
    setLine(result.messages, s.line);
    if (result.rowCount)
        lastRowCount_ = *result.rowCount;
    if (nocount_ && s.kind != sql::Statement::Kind::Set)
        result.rowCount.reset();
    return result;
}

StatementResult SessionImpl::dispatch(sql::Statement& s) {
    using Kind = sql::Statement::Kind;
    if (fmtOnly_ && s.kind != Kind::Set && s.kind != Kind::BeginTransaction &&
        s.kind != Kind::CommitTransaction && s.kind != Kind::RollbackTransaction) {
        // Drivers ask for a statement's columns this way: describe, change nothing.
        if (s.kind != Kind::Select)
            return {};
        StatementResult r = select(s);
        r.resultSet->rows.clear();
        r.rowCount.reset();
        return r;
    }
    switch (s.kind) {
    case Kind::CreateDatabase:
        return createDatabase(s);
    case Kind::DropDatabase:
        return dropDatabase(s);
    case Kind::Use:
        return useDatabase(s);
    case Kind::Backup:
        return backupDatabase(s);
    case Kind::Restore:
        return restoreDatabase(s);
    case Kind::RenameDatabase:
        return renameDatabase(s);
    case Kind::CreateTable:
        return createTable(s);
    case Kind::DropTable:
        return dropTable(s);
    case Kind::Select:
        return select(s);
    case Kind::Insert:
        return insert(s);
    case Kind::Update:
        return update(s);
    case Kind::Delete:
        return remove(s);
    case Kind::Set:
        return setOption(s);
    case Kind::BeginTransaction:
        return beginTransaction(s);
    case Kind::CommitTransaction:
        return commitTransaction(s);
    case Kind::RollbackTransaction:
        return rollbackTransaction(s);
    case Kind::NoOp:
        return {};
    }
    return {};
}

void SessionImpl::refuseWhileRestoring(const DatabaseLease& refused, const QString& database) {
    if (refused.beingRestored())
        throw SqlError(927, 14, 2,
                       QStringLiteral("Database '%1' cannot be opened. It is in the middle of a "
                                      "restore.")
                           .arg(database));
}

StatementResult SessionImpl::useDatabase(const sql::Statement& s) {
    const QString& name = s.names.front();
    DatabaseLease lease = DatabaseLease::acquire(engine_, name);
    if (!lease.valid()) {
        refuseWhileRestoring(lease, name);
        throw SqlError(911, 16, 1,
                       QStringLiteral("Database '%1' does not exist. Make sure that the name is "
                                      "entered correctly.")
                           .arg(name));
    }
    requireEntry(lease.key(), lease.name());
    if (transaction_.file && transaction_.key == lease.key())
        file_ = transaction_.file; // the transaction's own connection sees its changes
    else
        file_ = storage::DatabaseFile::open(lease.file(), false);
    database_ = std::move(lease);
    StatementResult r;
    r.newDatabase = database_.name();
    r.messages.push_back(sql::makeMessage(
        5701, 0, 1, QStringLiteral("Changed database context to '%1'.").arg(database_.name())));
    return r;
}

StatementResult SessionImpl::setOption(const sql::Statement& s) {
    const bool on = s.optionValue == QLatin1String("ON");
    for (const QString& option : s.option.split(u',')) {
        if (option == QLatin1String("NOCOUNT"))
            nocount_ = on;
        else if (option == QLatin1String("FMTONLY"))
            fmtOnly_ = on;
        else if (option == QLatin1String("XACT_ABORT"))
            xactAbort_ = on;
        else if (option == QLatin1String("IMPLICIT_TRANSACTIONS"))
            implicitTransactions_ = on;
        else if (option == QLatin1String("IDENTITY_INSERT"))
            sql::throwNotSupported(QStringLiteral("SET IDENTITY_INSERT"));
        else if (option == QLatin1String("TEXTSIZE"))
            setTextSize(s.optionValue);
    }
    return {};
}

void SessionImpl::setTextSize(const QString& value) {
    bool ok = false;
    const int64_t bytes = value.toLongLong(&ok);
    if (!ok)
        throw SqlError(102, 15, 1, QStringLiteral("Incorrect syntax near '%1'.").arg(value));
    // 0 restores the default of 4096 bytes; a negative size means no limit.
    if (bytes < 0)
        textSize_.reset();
    else
        textSize_ = bytes == 0 ? 4096 : std::min<int64_t>(bytes, 2147483647);
}

void SessionImpl::applyTextSize(ResultSet& result) const {
    if (!textSize_)
        return;
    for (size_t i = 0; i < result.columns.size(); ++i) {
        const ColumnInfo& c = result.columns[i];
        const bool unicode = c.type == SqlType::NText || c.type == SqlType::NVarChar;
        const bool large =
            c.type == SqlType::NText ||
            ((c.type == SqlType::NVarChar || c.type == SqlType::VarChar) && c.length == maxLength);
        if (!large)
            continue;
        for (auto& row : result.rows) {
            auto* text = i < row.size() ? std::get_if<QString>(&row[i]) : nullptr;
            if (!text)
                continue;
            // Bytes: two per UTF-16 unit, or the code page's for varchar.
            if (unicode)
                text->truncate(qsizetype(std::min<int64_t>(*textSize_ / 2, text->size())));
            else
                *text = storage::leftCodePageBytes(*text, int(*textSize_));
        }
    }
}

std::optional<int64_t> SessionImpl::objectId(const QString& name) {
    // Accepts 'table', 'dbo.table' and bracketed forms.
    QStringList parts;
    QString current;
    bool bracket = false;
    for (QChar c : name) {
        if (c == u'[' && !bracket)
            bracket = true;
        else if (c == u']' && bracket)
            bracket = false;
        else if (c == u'.' && !bracket) {
            parts << current;
            current.clear();
        } else
            current.append(c);
    }
    parts << current;
    if (parts.size() >= 2 && !parts.at(parts.size() - 2).isEmpty() &&
        parts.at(parts.size() - 2).compare(QLatin1String("dbo"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    storage::DatabaseFile::Transaction t(*file_, false);
    const auto table = file_->findTable(parts.last());
    if (!table)
        return std::nullopt;
    return table->id;
}

} // namespace ztds
