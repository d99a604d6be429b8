#pragma once
// An in-process zt-devserver whose sessions are scripted, so that the TDS layer can be tested
// against real clients without the SQL engine behind it.

#include "devserver/net/logger.h"
#include "devserver/net/tcp_server.h"
#include "devserver/tds/connection.h"

#include <QString>
#include <QStringList>

#include <mutex>
#include <sstream>
#include <thread>

namespace zt::test {

// What the scripted sessions received, for the tests to inspect.
struct FakeLog {
    std::mutex mutex;
    QStringList batches;
    QStringList statements;
    std::vector<std::vector<ztds::RpcParameter>> parameters;
};

class FakeSession : public ztds::Session {
public:
    FakeSession(QString user, QString database, FakeLog& log)
        : user_(std::move(user)), database_(std::move(database)), log_(log) {}

    QString userName() const override { return user_; }
    QString currentDatabase() const override { return database_; }
    int spid() const override { return 51; }

    // "select types": one row of every type and one of NULLs; "rows N": N rows of text;
    // "fail": error 208; "use NAME": changes the database; anything else: done, no rows.
    std::vector<ztds::StatementResult> executeBatch(const QString& sql) override {
        {
            std::lock_guard lock(log_.mutex);
            log_.batches << sql;
        }
        const QString command = sql.trimmed().toLower();
        ztds::StatementResult result;
        if (command == u"select types") {
            result.resultSet = typesResult();
            result.rowCount = 2;
        } else if (command.startsWith(u"rows ")) {
            result.resultSet = rowsResult(command.mid(5).toInt());
            result.rowCount = int64_t(result.resultSet->rows.size());
        } else if (command == u"fail") {
            result.failed = true;
            result.messages.push_back(
                {208, 1, 16, QStringLiteral("Invalid object name 'nothing'."), 1});
        } else if (command.startsWith(u"use ")) {
            database_ = sql.trimmed().mid(4);
            result.newDatabase = database_;
            result.messages.push_back(
                {5701, 1, 0, QStringLiteral("Changed database context to '%1'.").arg(database_),
                 1});
        } else if (command.startsWith(u"insert")) {
            result.rowCount = 1;
        }
        return {result};
    }

    // Echoes the parameters back as one row, each column typed as its parameter.
    std::vector<ztds::StatementResult>
    executeSql(const QString& sql, const std::vector<ztds::RpcParameter>& params) override {
        {
            std::lock_guard lock(log_.mutex);
            log_.statements << sql;
            log_.parameters.push_back(params);
        }
        if (sql.trimmed().toLower() == u"fail")
            return executeBatch(sql);
        ztds::ResultSet echo;
        std::vector<ztds::Value> row;
        for (const auto& param : params) {
            ztds::ColumnInfo column;
            column.name = param.name.mid(1);
            column.type = param.type;
            column.length = param.type == ztds::SqlType::NVarChar  ? 4000
                            : param.type == ztds::SqlType::VarChar ? 8000
                                                                   : 0;
            column.precision = param.precision;
            column.scale = param.scale;
            echo.columns.push_back(column);
            row.push_back(param.value);
        }
        echo.rows.push_back(row);
        ztds::StatementResult result;
        if (!echo.columns.empty())
            result.resultSet = echo;
        result.rowCount = 1;
        return {result};
    }

    static ztds::ResultSet typesResult() {
        using ztds::SqlType;
        ztds::ResultSet set;
        set.columns = {
            {QStringLiteral("名称"), SqlType::NVarChar, 12, true, false, true},
            {QStringLiteral("memo"), SqlType::NText, 0, true, false, true},
            {QStringLiteral("id"), SqlType::Int, 0, false, true, true},
            {QStringLiteral("big"), SqlType::BigInt, 0, true, false, true},
            {QStringLiteral("price"), SqlType::Money, 0, true, false, true},
            {QStringLiteral("day"), SqlType::SmallDateTime, 0, true, false, true},
            {QStringLiteral("stamp"), SqlType::DateTime, 0, true, false, true},
            {QStringLiteral("ratio"), SqlType::Float, 0, true, false, true},
            {QStringLiteral("flag"), SqlType::Bit, 0, true, false, true},
        };
        // 2026-12-08 is day 46362 after 1900-01-01.
        set.rows.push_back({QStringLiteral("帐套abc"), QStringLiteral("备注 memo"), int64_t(7),
                            int64_t(9000000000LL), ztds::MoneyValue{-123456789},
                            ztds::DateTimeValue{46362, (13 * 60 + 45) * 60000LL},
                            ztds::DateTimeValue{46362, 45296789}, 0.25, int64_t(1)});
        set.rows.push_back(std::vector<ztds::Value>(set.columns.size()));
        set.rows.back()[2] = int64_t(8);
        return set;
    }

    static ztds::ResultSet rowsResult(int count) {
        ztds::ResultSet set;
        set.columns = {{QStringLiteral("n"), ztds::SqlType::Int, 0, false, false, true},
                       {QStringLiteral("text"), ztds::SqlType::NVarChar, 100, true, false, true}};
        for (int i = 0; i < count; ++i)
            set.rows.push_back({int64_t(i), QStringLiteral("row %1 行").arg(i)});
        return set;
    }

private:
    QString user_;
    QString database_;
    FakeLog& log_;
};

// Logs in sa with an empty password; "nodb" as initial catalog fails with 4060.
inline ztds::Engine::LoginOutcome fakeLogin(const ztds::tds::LoginRequest& request, FakeLog& log) {
    ztds::Engine::LoginOutcome outcome;
    if (request.user != u"sa" || !request.password.isEmpty() || request.integratedSecurity) {
        outcome.messages.push_back(
            {18456, 1, 14, QStringLiteral("Login failed for user '%1'.").arg(request.user), 1});
    } else if (request.database.compare(u"nodb", Qt::CaseInsensitive) == 0) {
        outcome.messages.push_back(
            {4060, 1, 11,
             QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.")
                 .arg(request.database),
             1});
    } else {
        outcome.session = std::make_unique<FakeSession>(
            request.user, request.database.isEmpty() ? QStringLiteral("master") : request.database,
            log);
    }
    return outcome;
}

// The TDS server on a free loopback port, run on a thread of its own.
class InProcessServer {
public:
    InProcessServer()
        : logger_(logStream_), context_{[this](const ztds::tds::LoginRequest& request) {
                                            return fakeLogin(request, log);
                                        },
                                        nullptr, logger_},
          server_(
              io_, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0),
              [this](ztds::net::ConnectionContext& connection) {
                  ztds::tds::serveConnection(connection, context_);
              },
              logger_),
          thread_([this] { io_.run(); }) {}
    ~InProcessServer() {
        server_.stop();
        thread_.join();
    }
    InProcessServer(const InProcessServer&) = delete;
    InProcessServer& operator=(const InProcessServer&) = delete;

    quint16 port() const { return server_.port(); }
    FakeLog log;

private:
    std::ostringstream logStream_;
    ztds::net::Logger logger_;
    asio::io_context io_;
    ztds::tds::ServerContext context_;
    ztds::net::TcpServer server_;
    std::thread thread_;
};

} // namespace zt::test
