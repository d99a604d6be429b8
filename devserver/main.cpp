// zt-devserver: a development SQL Server that speaks TDS and keeps each database in SQLite.

#include "devserver/net/logger.h"
#include "devserver/net/tcp_server.h"
#include "devserver/net/tls.h"
#include "devserver/session/session.h"
#include "devserver/tds/connection.h"
#include "devserver/tds/trace_file.h"

#include <asio.hpp>

#include <QString>

#include <charconv>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int exitUsage = 2;

constexpr std::string_view usageText =
    "Usage: zt-devserver [--listen HOST:PORT] [--data DIR] [--login NAME:PASSWORD[:ROLE]]...\n"
    "                    [--trace FILE] [--tds-version 7.1|7.2|7.3|7.4] [--max-connections N]\n"
    "                    [--login-timeout SECONDS] [--delay-ms N] [--hold-file-work PATH]\n"
    "                    [--certificate FILE --key FILE] [--force-encryption]\n"
    "                    [--tls-priority STRING] [--no-encryption]\n"
    "A development SQL Server: speaks TDS to SQL Server clients, keeps each database in a\n"
    "SQLite file.\n"
    "\n"
    "  --listen HOST:PORT   address to listen on (default 127.0.0.1:1433)\n"
    "  --data DIR           data directory, one file per database (default ./devserver-data)\n"
    "  --login N:P[:ROLE]   a login with its password; ROLE is sysadmin (default), dbcreator\n"
    "                       or public; repeat for more; without it: sa, empty password\n"
    "  --trace FILE         append every batch and sp_executesql text to FILE, each\n"
    "                       followed by a line GO\n"
    "  --tds-version V      answer at most TDS V and present the SQL Server of that level:\n"
    "                       7.1 SQL Server 2000, 7.2 2005, 7.3 2008 R2, 7.4 2019 (default)\n"
    "  --max-connections N  connections served at once (default 256); more are refused\n"
    "                       with SQL Server's error 17809\n"
    "  --login-timeout S    a client that has not logged in after S seconds is\n"
    "                       disconnected (default 30)\n"
    "  --delay-ms N         wait N milliseconds before every answer (to test slow servers)\n"
    "  --hold-file-work PATH\n"
    "                       for tests: while PATH exists, CREATE DATABASE, DROP DATABASE,\n"
    "                       BACKUP, RESTORE and RENAME (ALTER DATABASE .. MODIFY NAME,\n"
    "                       sp_renamedb) wait in the middle of their file work, outside\n"
    "                       the server's lock (60 seconds at most), after appending a line\n"
    "                       'VERB name' to PATH.held\n"
    "  --certificate FILE   the server's TLS certificate (PEM); without it a self-signed\n"
    "                       RSA 2048 certificate for the listen host is made at each start\n"
    "  --key FILE           the certificate's private key (PEM)\n"
    "  --force-encryption   encrypt whole connections even when the client only offers to;\n"
    "                       a client that cannot encrypt is refused (ENCRYPT_REQ, then\n"
    "                       closed); by default the login at least is encrypted, the rest\n"
    "                       when the client asks for it\n"
    "  --tls-priority S     GnuTLS priority string for the TLS versions and ciphers offered\n"
    "                       (default NORMAL:-VERS-TLS1.3, TLS 1.2 at most as SQL Server\n"
    "                       with TDS 7.x), e.g. NORMAL:-VERS-ALL:+VERS-TLS1.0 for an old\n"
    "                       server\n"
    "  --no-encryption      no certificate: PRELOGIN answers that encryption is not\n"
    "                       supported and logins travel in clear text, as on a server\n"
    "                       from before SQL Server 2005 without a certificate\n"
    "  --help               show this text\n";

struct Options {
    std::string listen = "127.0.0.1:1433";
    std::filesystem::path dataDirectory = "devserver-data";
    std::vector<ztds::Login> logins;
    std::filesystem::path traceFile;
    ztds::ServerVersion version = ztds::latestServerVersion();
    int maxConnections = ztds::net::TcpServer::defaultMaxConnections;
    int delayMs = 0;
    int loginTimeoutSeconds = 30;
    std::filesystem::path holdFileWork;
    std::filesystem::path certificateFile;
    std::filesystem::path keyFile;
    bool forceEncryption = false;
    std::string tlsPriority;
    bool noEncryption = false;
    bool help = false;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

ztds::Role parseRole(const QString& text) {
    const QString role = text.toLower();
    if (role == u"sysadmin")
        return ztds::Role::SysAdmin;
    if (role == u"dbcreator")
        return ztds::Role::DbCreator;
    if (role == u"public")
        return ztds::Role::Public;
    throw UsageError("unknown role '" + text.toStdString() + "' (sysadmin, dbcreator or public)");
}

ztds::Login parseLogin(const std::string& text) {
    // NAME:PASSWORD[:ROLE]; a password may hold colons when the role is given after it.
    const QString spec = QString::fromLocal8Bit(text);
    const auto first = spec.indexOf(u':');
    if (first <= 0)
        throw UsageError("--login expects NAME:PASSWORD[:ROLE], got '" + text + "'");
    ztds::Login login;
    login.name = spec.left(first);
    QString rest = spec.mid(first + 1);
    const auto last = rest.lastIndexOf(u':');
    if (last >= 0) {
        login.role = parseRole(rest.mid(last + 1));
        rest = rest.left(last);
    }
    login.password = rest;
    return login;
}

int parseCount(const std::string& option, const std::string& text, int lowest, int highest) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < lowest ||
        value > highest)
        throw UsageError(option + " expects a whole number from " + std::to_string(lowest) +
                         " to " + std::to_string(highest) + ", got '" + text + "'");
    return value;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw UsageError("option " + arg + " needs a value");
            return args[++i];
        };
        if (arg == "--help" || arg == "-h")
            options.help = true;
        else if (arg == "--listen")
            options.listen = value();
        else if (arg == "--data")
            options.dataDirectory = value();
        else if (arg == "--login")
            options.logins.push_back(parseLogin(value()));
        else if (arg == "--trace")
            options.traceFile = value();
        else if (arg == "--tds-version") {
            const std::string& level = value();
            const auto* version = ztds::serverVersionFor(level);
            if (!version)
                throw UsageError("--tds-version expects 7.1, 7.2, 7.3 or 7.4, got '" + level + "'");
            options.version = *version;
        } else if (arg == "--max-connections")
            options.maxConnections = parseCount(arg, value(), 1, 32767);
        else if (arg == "--login-timeout")
            options.loginTimeoutSeconds = parseCount(arg, value(), 1, 3600);
        else if (arg == "--delay-ms")
            options.delayMs = parseCount(arg, value(), 0, 600000);
        else if (arg == "--hold-file-work")
            options.holdFileWork = value();
        else if (arg == "--certificate")
            options.certificateFile = value();
        else if (arg == "--key")
            options.keyFile = value();
        else if (arg == "--force-encryption")
            options.forceEncryption = true;
        else if (arg == "--tls-priority")
            options.tlsPriority = value();
        else if (arg == "--no-encryption")
            options.noEncryption = true;
        else
            throw UsageError("unknown option '" + arg + "' (try --help)");
    }
    if (options.dataDirectory.empty())
        throw UsageError("--data needs a directory");
    if (options.certificateFile.empty() != options.keyFile.empty())
        throw UsageError("--certificate and --key go together");
    if (options.noEncryption && (options.forceEncryption || !options.certificateFile.empty() ||
                                 !options.tlsPriority.empty()))
        throw UsageError("--no-encryption goes with no other encryption option");
    if (options.logins.empty())
        options.logins.push_back(
            ztds::Login{QStringLiteral("sa"), QString(), ztds::Role::SysAdmin});
    return options;
}

// The HOST of "HOST:PORT" or "[V6ADDRESS]:PORT", for the self-signed certificate's name.
std::string listenHost(const std::string& listen) {
    if (listen.starts_with('['))
        return listen.substr(1, listen.find(']') - 1);
    return listen.substr(0, listen.rfind(':'));
}

int fail(std::string_view message) {
    std::cerr << "zt-devserver: " << message << '\n';
    return exitUsage;
}

int run(const Options& options) {
    asio::io_context context;
    asio::ip::tcp::endpoint endpoint;
    try {
        endpoint = ztds::net::parseListenAddress(options.listen, context);
    } catch (const std::invalid_argument& e) {
        return fail(std::string("--listen: ") + e.what());
    }

    std::optional<ztds::net::TlsCredentials> tls;
    try {
        if (!options.noEncryption)
            tls.emplace(ztds::net::TlsSettings{options.certificateFile, options.keyFile,
                                               listenHost(options.listen), options.tlsPriority});
    } catch (const std::runtime_error& e) {
        return fail(std::string("TLS: ") + e.what());
    }

    std::optional<ztds::tds::TraceFile> trace;
    if (!options.traceFile.empty()) {
        try {
            trace.emplace(options.traceFile);
        } catch (const std::exception& e) {
            return fail(e.what());
        }
    }

    std::optional<ztds::Engine> engine;
    try {
        engine.emplace(ztds::EngineConfig{options.dataDirectory, options.logins, options.traceFile,
                                          options.version, options.holdFileWork});
    } catch (const std::exception& e) {
        return fail("data directory " + options.dataDirectory.string() + ": " + e.what());
    }

    ztds::net::Logger logger(std::cerr);
    ztds::tds::ServerContext server{[&engine](const ztds::tds::LoginRequest& request) {
                                        return engine->login(request.user, request.password,
                                                             request.database,
                                                             request.integratedSecurity);
                                    },
                                    trace ? &*trace : nullptr, logger};
    server.version = options.version;
    server.responseDelay = std::chrono::milliseconds(options.delayMs);
    server.loginTimeout = std::chrono::seconds(options.loginTimeoutSeconds);
    server.tls = tls ? &*tls : nullptr;
    server.forceEncryption = options.forceEncryption;

    std::optional<ztds::net::TcpServer> listener;
    // Taken over before the port opens: a client may stop the server as soon as it connects.
    asio::signal_set stopSignals(context, SIGINT, SIGTERM);
    stopSignals.async_wait([&](const asio::error_code& error, int signalNumber) {
        if (error)
            return;
        logger.line("signal " + std::to_string(signalNumber) + " received, stopping");
        if (listener)
            listener->stop();
    });
    try {
        listener.emplace(
            context, endpoint,
            [&server](ztds::net::ConnectionContext& connection) {
                ztds::tds::serveConnection(connection, server);
            },
            logger, options.maxConnections);
    } catch (const std::system_error& e) {
        return fail("cannot listen on " + options.listen + ": " + e.code().message());
    }

    logger.line("listening on " + endpoint.address().to_string() + ':' +
                std::to_string(listener->port()) + ", data directory " +
                options.dataDirectory.string());
    context.run();
    listener.reset(); // waits for every connection, and so for every running statement
    engine.reset();
    logger.line("stopped");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // A client that vanishes mid-answer must not kill the server.
    std::signal(SIGPIPE, SIG_IGN);
    Options options;
    try {
        options = parseOptions(argc, argv);
    } catch (const UsageError& e) {
        return fail(e.what());
    }
    if (options.help) {
        std::cout << usageText;
        return 0;
    }
    return run(options);
}
