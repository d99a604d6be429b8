#include "devserver/tds/connection.h"

#include "devserver/net/packet_channel.h"
#include "devserver/net/tls.h"
#include "devserver/tds/byte_buffer.h"
#include "devserver/tds/login.h"
#include "devserver/tds/rpc.h"
#include "devserver/tds/tokens.h"
#include "devserver/tds/trace_file.h"

#include <map>
#include <string_view>
#include <thread>

namespace ztds::tds {

namespace {

constexpr uint16_t firstSpid = 51;

ServerMessage errorMessage(int32_t number, uint8_t state, const QString& text,
                           uint8_t severity = 16) {
    ServerMessage message;
    message.number = number;
    message.state = state;
    message.severity = severity;
    message.text = text;
    return message;
}

ServerMessage infoMessage(int32_t number, const QString& text) {
    return errorMessage(number, 1, text, 0);
}

// The parameter names of an sp_executesql declaration list such as "@P1 int,@P2 nvarchar(10)".
std::vector<QString> declaredNames(const QString& declarations) {
    std::vector<QString> names;
    int depth = 0;
    bool expectName = true;
    for (qsizetype i = 0; i < declarations.size(); ++i) {
        const QChar c = declarations[i];
        if (c == u'(')
            ++depth;
        else if (c == u')')
            --depth;
        else if (c == u',' && depth == 0)
            expectName = true;
        else if (c == u'@' && expectName) {
            qsizetype end = i + 1;
            while (end < declarations.size() &&
                   (declarations[end].isLetterOrNumber() || declarations[end] == u'_' ||
                    declarations[end] == u'@' || declarations[end] == u'#' ||
                    declarations[end] == u'$'))
                ++end;
            names.push_back(declarations.mid(i, end - i));
            expectName = false;
            i = end - 1;
        }
    }
    return names;
}

QString textOf(const Value& value) {
    if (const auto* text = std::get_if<QString>(&value))
        return *text;
    return {};
}

std::optional<int64_t> integerOf(const Value& value) {
    if (const auto* integer = std::get_if<int64_t>(&value))
        return *integer;
    return std::nullopt;
}

// "sp_executesql", "sys.sp_executesql", "master..sp_executesql" all name the same procedure.
QString bareProcedureName(const QString& name) {
    QString bare = name.mid(name.lastIndexOf(u'.') + 1).toLower();
    if (bare.startsWith(u'[') && bare.endsWith(u']'))
        bare = bare.mid(1, bare.size() - 2);
    return bare;
}

struct PreparedStatement {
    QString sql;
    QString declarations;
};

class Connection {
public:
    Connection(net::ConnectionContext& context, const ServerContext& server)
        : context_(context), server_(server), channel_(context.socket) {
        channel_.setSpid(uint16_t(firstSpid + (context.id % 30000)));
    }

    void run() {
        try {
            serve();
        } catch (const net::TimeoutError& e) {
            log(e.what());
        } catch (const net::ProtocolError& e) {
            log(std::string("protocol error, closing: ") + e.what());
        } catch (const asio::system_error& e) {
            if (e.code() != asio::error::connection_reset && e.code() != asio::error::broken_pipe &&
                e.code() != asio::error::eof)
                log(std::string("socket error: ") + e.what());
        }
        if (session_) // one line a connection, so that a benchmark can count round trips
            log("closed after " + std::to_string(requests_) +
                (requests_ == 1 ? " request" : " requests"));
    }

private:
    void serve() {
        channel_.setMessageLimit(net::PacketChannel::maxPreLoginMessageSize);
        channel_.setDeadline(std::chrono::steady_clock::now() + server_.loginTimeout);
        const auto login7 = openConnection();
        if (!login7)
            return;
        if (context_.overLimit) {
            refuse();
            return;
        }
        if (!login(*login7))
            return;
        channel_.setDeadline(std::nullopt);
        channel_.setMessageLimit(net::PacketChannel::maxMessageSize);
        while (auto message = channel_.readMessage())
            dispatch(*message);
    }

    // PRELOGIN, TLS as it decided, then the LOGIN7 record; nullopt when the client went away
    // or was refused.
    std::optional<std::vector<uint8_t>> openConnection() {
        bool preLoginSeen = false;
        for (;;) {
            auto message = channel_.readMessage();
            if (!message)
                return std::nullopt;
            if (message->ignored)
                continue;
            if (message->type == packet_type::PreLogin && !preLoginSeen) {
                preLoginSeen = true;
                if (!negotiate(message->payload))
                    return std::nullopt;
            } else if (message->type == packet_type::Login7) {
                return std::move(message->payload);
            } else if (message->type == packet_type::PreTds7Login) {
                throw net::ProtocolError("client asked for a TDS version before 7.0");
            } else {
                throw net::ProtocolError("packet type " + std::to_string(message->type) +
                                         " before login");
            }
        }
    }

    EncryptionPolicy encryptionPolicy() const {
        if (!server_.tls)
            return EncryptionPolicy::NotSupported;
        return server_.forceEncryption ? EncryptionPolicy::Forced : EncryptionPolicy::Offered;
    }

    // Answers PRELOGIN and sets up TLS as the answer says; false: the connection ends here.
    bool negotiate(std::span<const uint8_t> request) {
        const auto answer = preLoginResponse(request, server_.version, encryptionPolicy());
        send(packet_type::TabularResult, answer.response);
        switch (answer.encryption) {
        case Encryption::None:
            return true;
        case Encryption::Refused:
            // As SQL Server with "force encryption": ENCRYPT_REQ, then the connection ends.
            log("refused: encryption is required and the client cannot encrypt");
            return false;
        case Encryption::LoginOnly:
        case Encryption::Whole:
            startTls(answer.encryption == Encryption::LoginOnly);
            return true;
        }
        return false;
    }

    void startTls(bool loginOnly) {
        tls_ = std::make_unique<net::TlsSession>(*server_.tls, channel_);
        tls_->handshake();
        channel_.setTls(tls_.get(), loginOnly);
        log(std::string(loginOnly ? "login" : "connection") + " encrypted, " + tls_->description());
    }

    // Past the connection limit: refuse the login as SQL Server does.
    void refuse() {
        TokenWriter tokens(tds_version::V7_1);
        tokens.message(errorMessage(
            17809, 1,
            QStringLiteral("Could not connect because the maximum number of '%1' user "
                           "connections has already been reached. The system administrator "
                           "can use sp_configure to increase the maximum value. The "
                           "connection has been closed.")
                .arg(context_.limit),
            20));
        tokens.done(DoneKind::Done, done_status::Error, 0, 0);
        send(tokens);
        log("refused: " + std::to_string(context_.limit) + " connections already open");
    }

    void dispatch(const net::Message& message) {
        if (message.type != packet_type::Attention)
            ++requests_;
        if (message.ignored) {
            // The client gave up sending this request; it waits for an answer all the same.
            TokenWriter tokens(tdsVersion_);
            tokens.done(DoneKind::Done, done_status::Final, 0, 0);
            send(tokens);
            return;
        }
        if (message.status &
            (packet_status::ResetConnection | packet_status::ResetConnectionSkipTransaction))
            resetConnection(message.status & packet_status::ResetConnectionSkipTransaction);
        switch (message.type) {
        case packet_type::SqlBatch:
            sqlBatch(message.payload);
            return;
        case packet_type::Rpc:
            rpc(message.payload);
            return;
        case packet_type::Attention:
            attention();
            return;
        case packet_type::TransactionManager:
            transactionManager(message.payload);
            return;
        default:
            throw net::ProtocolError("unexpected packet type " + std::to_string(message.type) +
                                     " after login");
        }
    }

    bool login(std::span<const uint8_t> payload) {
        const Login7 request = parseLogin7(payload);
        tdsVersion_ = negotiatedVersion(request.tdsVersion, server_.version.tdsVersion);
        auto outcome = server_.login(LoginRequest{request.userName, request.password,
                                                  request.database, request.appName,
                                                  request.hostName, request.integratedSecurity});
        TokenWriter tokens(tdsVersion_);
        if (!outcome.session) {
            for (const auto& message : outcome.messages)
                tokens.message(message);
            tokens.done(DoneKind::Done, done_status::Error, 0, 0);
            send(tokens);
            log("login failed for user '" + request.userName.toStdString() + "'");
            return false;
        }
        session_ = std::move(outcome.session);
        database_ = session_->currentDatabase();
        if (session_->spid() > 0)
            channel_.setSpid(uint16_t(session_->spid()));
        const uint32_t packetSize =
            request.packetSize == 0 ? net::PacketChannel::defaultPacketSize : request.packetSize;
        const auto negotiatedPacketSize = std::clamp<uint32_t>(packetSize, 512, 32767);

        tokens.envChange(env_type::Database, database_, QStringLiteral("master"));
        tokens.message(
            infoMessage(5701, QStringLiteral("Changed database context to '%1'.").arg(database_)));
        if (tdsVersion_ >= tds_version::V7_1)
            tokens.envChangeCollation();
        tokens.envChange(env_type::Language, QStringLiteral("us_english"), QString());
        tokens.message(
            infoMessage(5703, QStringLiteral("Changed language setting to us_english.")));
        tokens.loginAck(server_.version);
        tokens.envChange(env_type::PacketSize, QString::number(negotiatedPacketSize),
                         QString::number(channel_.packetSize()));
        tokens.done(DoneKind::Done, done_status::Final, 0, 0);
        send(tokens);
        channel_.setPacketSize(negotiatedPacketSize);
        log("login " + request.userName.toStdString() + " (database " + database_.toStdString() +
            ", application " + request.appName.toStdString() + ")");
        return true;
    }

    // RESETCONNECTION: back to the state of a fresh login before this request runs; the
    // acknowledgement opens the answer.
    void resetConnection(bool keepTransaction) {
        session_->reset(keepTransaction);
        pendingReset_ = true;
    }

    void openAnswer(TokenWriter& tokens) {
        if (!pendingReset_)
            return;
        pendingReset_ = false;
        tokens.envChange(env_type::ResetConnection, QString(), QString());
        const QString database = session_->currentDatabase();
        if (database != database_) {
            tokens.envChange(env_type::Database, database, database_);
            database_ = database;
        }
        if (transaction_ != 0 && session_->transactionCount() == 0)
            transaction_ = 0; // rolled back by the reset
    }

    void sqlBatch(std::span<const uint8_t> payload) {
        const QString sql = parseSqlBatch(payload, isTds72OrLater(tdsVersion_));
        trace(sql);
        TokenWriter tokens(tdsVersion_);
        openAnswer(tokens);
        const auto results = runSafely([&] { return session_->executeBatch(sql); });
        writeResults(tokens, results, DoneKind::Done, /*closeLast=*/true);
        send(tokens);
    }

    void rpc(std::span<const uint8_t> payload) {
        const auto calls = parseRpcRequest(payload, tdsVersion_);
        TokenWriter tokens(tdsVersion_);
        openAnswer(tokens);
        for (size_t i = 0; i < calls.size(); ++i)
            rpcCall(tokens, calls[i], i + 1 == calls.size());
        send(tokens);
    }

    void rpcCall(TokenWriter& tokens, const RpcCall& call, bool last) {
        const uint16_t more = last ? done_status::Final : done_status::More;
        if (call.unsupported) {
            const auto& bad = *call.unsupported;
            tokens.message(errorMessage(
                8009, 1,
                QStringLiteral("The incoming tabular data stream (TDS) remote procedure call (RPC) "
                               "protocol stream is incorrect. Parameter %1 (\"%2\"): Data type "
                               "0x%3 is unknown.")
                    .arg(bad.ordinal)
                    .arg(bad.name)
                    .arg(QString::number(bad.type, 16).rightJustified(2, u'0').toUpper())));
            tokens.done(DoneKind::DoneProc, more | done_status::Error, 0, 0);
            return;
        }
        const uint16_t id = call.procId.value_or(procIdForName(call.procName));
        std::optional<int32_t> returnedHandle;
        bool failed = false;
        switch (id) {
        case proc_id::ExecuteSql:
            failed = executeSql(tokens, call.parameters);
            break;
        case proc_id::Prepare:
        case proc_id::PrepExec:
            returnedHandle = prepare(call.parameters);
            if (!returnedHandle) {
                tokens.message(errorMessage(
                    8178, 1, QStringLiteral("The parameterized query expects a statement.")));
                failed = true;
            } else if (id == proc_id::PrepExec) {
                failed = executePrepared(
                    tokens, *returnedHandle,
                    {call.parameters.begin() + std::min<size_t>(3, call.parameters.size()),
                     call.parameters.end()});
            }
            break;
        case proc_id::Execute:
            failed = execute(tokens, call.parameters);
            break;
        case proc_id::Unprepare:
            if (!call.parameters.empty())
                if (const auto handle = integerOf(call.parameters[0].value))
                    prepared_.erase(int32_t(*handle));
            break;
        default: {
            const QString name = call.procId ? QString::number(*call.procId) : call.procName;
            tokens.message(errorMessage(
                2812, 62, QStringLiteral("Could not find stored procedure '%1'.").arg(name)));
            failed = true;
        }
        }
        tokens.returnStatus(failed ? 1 : 0);
        if (returnedHandle)
            tokens.returnValueInt(1, QStringLiteral("@handle"), *returnedHandle);
        tokens.done(DoneKind::DoneProc, uint16_t(more | (failed ? done_status::Error : 0)), 0, 0);
    }

    static uint16_t procIdForName(const QString& name) {
        constexpr std::pair<std::u16string_view, uint16_t> known[] = {
            {u"sp_executesql", proc_id::ExecuteSql}, {u"sp_prepare", proc_id::Prepare},
            {u"sp_execute", proc_id::Execute},       {u"sp_prepexec", proc_id::PrepExec},
            {u"sp_unprepare", proc_id::Unprepare},
        };
        const QString bare = bareProcedureName(name);
        for (const auto& [procedure, id] : known)
            if (bare == QStringView(procedure))
                return id;
        return 0;
    }

    // sp_executesql @stmt, @params, values...
    bool executeSql(TokenWriter& tokens, const std::vector<RpcParameter>& parameters) {
        if (parameters.empty() || isNull(parameters[0].value) ||
            !std::holds_alternative<QString>(parameters[0].value)) {
            tokens.message(
                errorMessage(214, 2,
                             QStringLiteral("Procedure expects parameter '@statement' of type "
                                            "'ntext/nchar/nvarchar'.")));
            return true;
        }
        const QString sql = textOf(parameters[0].value);
        const QString declarations =
            parameters.size() > 1 ? textOf(parameters[1].value) : QString();
        std::vector<RpcParameter> values;
        if (parameters.size() > 2)
            values.assign(parameters.begin() + 2, parameters.end());
        return runStatement(tokens, sql, declarations, std::move(values));
    }

    // sp_prepare / sp_prepexec: @handle OUTPUT, @params, @stmt, ...
    std::optional<int32_t> prepare(const std::vector<RpcParameter>& parameters) {
        if (parameters.size() < 3 || !std::holds_alternative<QString>(parameters[2].value))
            return std::nullopt;
        const int32_t handle = nextHandle_++;
        prepared_[handle] = {textOf(parameters[2].value), textOf(parameters[1].value)};
        return handle;
    }

    // sp_execute @handle, values...
    bool execute(TokenWriter& tokens, const std::vector<RpcParameter>& parameters) {
        const auto handle = parameters.empty() ? std::nullopt : integerOf(parameters[0].value);
        if (!handle || !prepared_.contains(int32_t(*handle))) {
            tokens.message(
                errorMessage(8179, 4,
                             QStringLiteral("Could not find prepared statement with handle %1.")
                                 .arg(handle ? QString::number(*handle) : QStringLiteral("NULL"))));
            return true;
        }
        return executePrepared(tokens, int32_t(*handle),
                               {parameters.begin() + 1, parameters.end()});
    }

    bool executePrepared(TokenWriter& tokens, int32_t handle, std::vector<RpcParameter> values) {
        const PreparedStatement& statement = prepared_.at(handle);
        return runStatement(tokens, statement.sql, statement.declarations, std::move(values));
    }

    bool runStatement(TokenWriter& tokens, const QString& sql, const QString& declarations,
                      std::vector<RpcParameter> values) {
        // Positional values take their names from the declaration list.
        const auto names = declaredNames(declarations);
        for (size_t i = 0; i < values.size(); ++i)
            if (values[i].name.isEmpty() && i < names.size())
                values[i].name = names[i];
        trace(sql);
        const auto results = runSafely([&] { return session_->executeSql(sql, values); });
        writeResults(tokens, results, DoneKind::DoneInProc, /*closeLast=*/false);
        for (const auto& result : results)
            if (result.failed)
                return true;
        return false;
    }

    template <typename Run> std::vector<StatementResult> runSafely(Run run) {
        try {
            return run();
        } catch (const std::exception& e) {
            // An engine fault fails this request only; the connection stays usable.
            log(std::string("statement failed inside the engine: ") + e.what());
            StatementResult result;
            result.failed = true;
            result.messages.push_back(errorMessage(
                50000, 1, QStringLiteral("Internal error in zt-devserver: %1").arg(e.what())));
            return {std::move(result)};
        }
    }

    void writeResults(TokenWriter& tokens, const std::vector<StatementResult>& results,
                      DoneKind kind, bool closeLast) {
        for (size_t i = 0; i < results.size(); ++i) {
            const StatementResult& result = results[i];
            if (result.newDatabase) { // sent even when unchanged, as SQL Server does
                tokens.envChange(env_type::Database, *result.newDatabase, database_);
                database_ = *result.newDatabase;
            }
            transactionChange(tokens, result.transactionChange);
            for (const auto& message : result.messages)
                tokens.message(message);
            if (result.resultSet && !result.resultSet->columns.empty())
                tokens.resultSet(*result.resultSet);
            uint16_t status = done_status::Final;
            if (!closeLast || i + 1 < results.size())
                status |= done_status::More;
            if (result.failed)
                status |= done_status::Error;
            if (result.rowCount)
                status |= done_status::Count;
            tokens.done(kind, status, result.resultSet ? doneCommandSelect : 0,
                        uint64_t(std::max<int64_t>(0, result.rowCount.value_or(0))));
        }
        if (results.empty() && closeLast)
            tokens.done(kind, done_status::Final, 0, 0);
    }

    void attention() {
        // Requests run to completion before the next read, so there is nothing left to cancel.
        TokenWriter tokens(tdsVersion_);
        tokens.done(DoneKind::Done, done_status::Attention, 0, 0);
        send(tokens);
    }

    // From TDS 7.2 on, the client learns of BEGIN, COMMIT and ROLLBACK by ENVCHANGE and names
    // the transaction in each request's headers.
    void transactionChange(TokenWriter& tokens, StatementResult::TransactionChange change) {
        using Change = StatementResult::TransactionChange;
        if (change == Change::None || !isTds72OrLater(tdsVersion_))
            return;
        if (change == Change::Began) {
            transaction_ = ++lastTransaction_;
            tokens.envChangeTransaction(env_type::BeginTransaction, transaction_, 0);
            return;
        }
        tokens.envChangeTransaction(change == Change::Committed ? env_type::CommitTransaction
                                                                : env_type::RollbackTransaction,
                                    0, transaction_);
        transaction_ = 0;
    }

    // TM_BEGIN_XACT, TM_COMMIT_XACT and TM_ROLLBACK_XACT as their statements; a commit or
    // rollback may ask for a new transaction at once (fBeginXact).
    void transactionManager(std::span<const uint8_t> payload) {
        ByteReader reader(payload.subspan(skipAllHeaders(payload, isTds72OrLater(tdsVersion_))));
        const uint16_t request = reader.u16();
        TokenWriter tokens(tdsVersion_);
        openAnswer(tokens);
        QString statement;
        if (request == tm_request::Begin) {
            statement = QStringLiteral("BEGIN TRANSACTION");
        } else if (request == tm_request::Commit || request == tm_request::Rollback) {
            statement = request == tm_request::Commit ? QStringLiteral("COMMIT TRANSACTION")
                                                      : QStringLiteral("ROLLBACK TRANSACTION");
            reader.skip(reader.u8()); // transaction name
            if (reader.remaining() > 0 && reader.u8() != 0)
                statement += QStringLiteral("\nBEGIN TRANSACTION");
        }
        if (statement.isEmpty()) {
            tokens.message(errorMessage(
                8522, 1, QStringLiteral("Distributed transactions are not supported.")));
            tokens.done(DoneKind::Done, done_status::Error, 0, 0);
            send(tokens);
            return;
        }
        auto results = runSafely([&] { return session_->executeBatch(statement); });
        for (auto& result : results)
            result.rowCount.reset();
        writeResults(tokens, results, DoneKind::Done, /*closeLast=*/true);
        send(tokens);
    }

    void trace(const QString& sql) {
        if (server_.trace)
            server_.trace->append(sql);
    }

    void send(TokenWriter& tokens) { send(packet_type::TabularResult, tokens.data()); }

    void send(uint8_t type, std::span<const uint8_t> payload) {
        if (server_.responseDelay.count() > 0)
            std::this_thread::sleep_for(server_.responseDelay);
        channel_.writeMessage(type, payload);
    }

    void log(const std::string& text) {
        server_.logger.line("connection " + std::to_string(context_.id) + " from " + context_.peer +
                            ": " + text);
    }

    net::ConnectionContext& context_;
    const ServerContext& server_;
    net::PacketChannel channel_;
    std::unique_ptr<net::TlsSession> tls_; // from the PRELOGIN exchange on, when encrypted
    uint32_t tdsVersion_ = tds_version::V7_4;
    std::unique_ptr<Session> session_;
    QString database_;
    std::map<int32_t, PreparedStatement> prepared_;
    int32_t nextHandle_ = 1;
    uint64_t transaction_ = 0;
    uint64_t lastTransaction_ = 0;
    uint64_t requests_ = 0; // batches, RPCs and transaction-manager requests
    bool pendingReset_ = false;
};

} // namespace

void serveConnection(net::ConnectionContext& connection, const ServerContext& server) {
    Connection(connection, server).run();
}

} // namespace ztds::tds
