#include "tools/admin_tool.h"

#include "accountset/account_set_adoption.h"
#include "accountset/creation.h"
#include "accountset/network_registry.h"
#include "accountset/sample_restore.h"
#include "config/local_config.h"
#include "config/local_database_file.h"
#include "core/application.h"
#include "core/dialogs.h"
#include "core/failure_explanation.h"
#include "core/input_checks.h"
#include "server/server_login.h"
#include "tools/admin_catalog_commands.h"

#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStandardPaths>
#include <QTextStream>

#include <optional>

namespace zt::accountset {

namespace {

const QString helpText = QStringLiteral(
    "Usage:\n"
    "  zt-admin create --server S [--user U --password P] [--account-password K] [--network] NAME\n"
    "  zt-admin restore-sample --server S [--user U --password P] [--account-password K]"
    " [--network]\n"
    "  zt-admin list --server S [--user U --password P]\n"
    "  zt-admin select --server S [--user U --password P] NAME\n"
    "  zt-admin delete --server S [--user U --password P] --account-password K NAME\n"
    "  zt-admin register --server S [--user U --password P] [--account-password K] [--network]"
    " NAME\n"
    "  zt-admin --local-database-path [--local-database F]\n"
    "\n"
    "Creates, restores, lists, selects and deletes account sets as the wizard does, using the\n"
    "wizard's local configuration database CHWHDB.mdb (see below). Without --user the\n"
    "server is reached with integrated security. The server is proved (a probe database is\n"
    "created and dropped) and its login stored before any command. Confirmations count as\n"
    "given. list prints one network account set a line: name, server, date (tab-separated).\n"
    "register records an account set that is on the server but not registered (a creation\n"
    "cut off after its work on the server): it must verify as complete; it is added to this\n"
    "workstation's 帐套信息表 and, with --network, to the network registry, where missing.\n"
    "\n"
    "The local configuration database is data/CHWHDB.mdb beside this program in a build tree\n"
    "or a copied folder. An installed program (a template and no CHWHDB.mdb beside it) uses\n"
    "each user's ~/.local/share/zhangtao/CHWHDB.mdb ($XDG_DATA_HOME/zhangtao/ when set), made\n"
    "from the template on first use. --local-database-path prints the file in use.\n"
    "\n"
    "Options:\n"
    "  --server S            the SQL Server (as the wizard's server box takes it)\n"
    "  --user U              SQL login name\n"
    "  --password P          SQL login password (empty when left out)\n"
    "  --account-password K  the account set's password\n"
    "  --network             also register the account set in the server's network registry\n"
    "  --local-database F    another local configuration database file\n"
    "  --local-database-path print the local configuration database file in use and exit\n"
    "  --quiet               no progress line on a terminal's standard error\n"
    "  --help                show this text\n"
    "\n"
    "Names, passwords and server names are checked as the wizard checks them, before anything\n"
    "is sent to the server or written to the local configuration database.\n"
    "\n"
    "Exit status: 0 success; 1 failure (also input refused by the checks); 2 usage error;\n"
    "3 created (or restored) and registered on this workstation, but the network registration\n"
    "failed (\"加入网络帐套出错！\").\n");

// The stage of a creation or restore as one line on standard error that overwrites itself,
// only when standard error is a terminal; erased when the work ends.
class StageLine {
public:
    StageLine(QTextStream& err, bool quiet) : err_(err), shown_(!quiet && isatty(STDERR_FILENO)) {}
    ~StageLine() { eraseShownStage(); }
    StageLine(const StageLine&) = delete;
    StageLine& operator=(const StageLine&) = delete;

    CreationProgress callback() {
        if (!shown_)
            return {};
        return [this](CreationStage stage, int done, int total) {
            err_ << "\r" << stageText(stage, done, total) << "\x1b[K" << Qt::flush;
            written_ = true;
        };
    }

    // Before any other text goes out.
    void eraseShownStage() {
        if (written_)
            err_ << "\r\x1b[K" << Qt::flush;
        written_ = false;
    }

private:
    QTextStream& err_;
    bool shown_;
    bool written_ = false;
};

// Messages go to the output (errors to the error stream); questions are answered yes.
class ConsoleDialogs : public Dialogs {
public:
    ConsoleDialogs(QTextStream& out, QTextStream& err, StageLine* stages = nullptr)
        : out_(out), err_(err), stages_(stages) {}

    DialogAnswer message(const QString& text, const QString&, DialogIcon icon,
                         DialogButtons buttons) override {
        if (buttons == DialogButtons::YesNo || buttons == DialogButtons::YesNoCancel)
            return DialogAnswer::Yes;
        if (buttons == DialogButtons::OkCancel)
            return DialogAnswer::Ok;
        if (stages_)
            stages_->eraseShownStage();
        QTextStream& stream = icon == DialogIcon::Error ? err_ : out_;
        stream << text << Qt::endl;
        return DialogAnswer::Ok;
    }
    std::optional<QString> inputText(const QString&, const QString&, bool) override {
        return std::nullopt;
    }
    void beep() override {}

private:
    QTextStream& out_;
    QTextStream& err_;
    StageLine* stages_;
};

struct Command {
    QString name;
    QString accountSetName;
    QString serverName;
    config::ServerLogin login;
    QString accountPassword;
    bool network = false;
    bool quiet = false;
    QString localDatabasePath;
};

class UsageError {
public:
    explicit UsageError(QString message) : text(std::move(message)) {}
    QString text;
};

// How many positional arguments follow the command word.
int namesTaken(const QString& command) {
    if (command == u"create" || command == u"select" || command == u"delete" ||
        command == u"register")
        return 1;
    if (command == u"list" || command == u"restore-sample")
        return 0;
    throw UsageError(QStringLiteral("unknown command '%1'").arg(command));
}

void addOptions(QCommandLineParser& parser) {
    addConnectionOptions(parser);
    parser.addOptions({
        {QStringLiteral("account-password"), QString(), QStringLiteral("K")},
        {QStringLiteral("network"), QString()},
        {QStringLiteral("quiet"), QString()},
        {QStringLiteral("local-database-path"), QString()},
        {QStringLiteral("help"), QString()},
    });
}

void checkOptionsFit(const QCommandLineParser& parser, const QString& command) {
    if (!parser.isSet(QStringLiteral("server")))
        throw UsageError(QStringLiteral("--server is required"));
    if (parser.isSet(QStringLiteral("password")) && !parser.isSet(QStringLiteral("user")))
        throw UsageError(QStringLiteral("--password needs --user"));
    const bool creates =
        command == u"create" || command == u"restore-sample" || command == u"register";
    if (!creates && parser.isSet(QStringLiteral("network")))
        throw UsageError(QStringLiteral("--network belongs to create and restore-sample"));
    if (command == u"delete" && !parser.isSet(QStringLiteral("account-password")))
        throw UsageError(QStringLiteral("delete needs --account-password"));
    if (!creates && command != u"delete" && parser.isSet(QStringLiteral("account-password")))
        throw UsageError(QStringLiteral("--account-password does not belong to %1").arg(command));
}

Command parseCommand(const QCommandLineParser& parser) {
    const QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        throw UsageError(QStringLiteral("no command given"));
    Command command;
    command.name = words.first();
    if (words.size() != 1 + namesTaken(command.name))
        throw UsageError(QStringLiteral("wrong number of arguments for %1").arg(command.name));
    checkOptionsFit(parser, command.name);
    command.accountSetName = words.value(1);
    command.serverName = parser.value(QStringLiteral("server"));
    command.login.integratedSecurity = !parser.isSet(QStringLiteral("user"));
    command.login.userName = parser.value(QStringLiteral("user"));
    command.login.password = parser.value(QStringLiteral("password"));
    command.accountPassword = parser.value(QStringLiteral("account-password"));
    command.network = parser.isSet(QStringLiteral("network"));
    command.quiet = parser.isSet(QStringLiteral("quiet"));
    command.localDatabasePath = parser.isSet(QStringLiteral("local-database"))
                                    ? parser.value(QStringLiteral("local-database"))
                                    : config::localDatabasePath();
    return command;
}

// Where the commands would read and write, chosen as localDatabasePath() chooses but without
// making the file: printing the path changes nothing.
QString localDatabaseInUse(const QCommandLineParser& parser) {
    if (parser.isSet(QStringLiteral("local-database")))
        return parser.value(QStringLiteral("local-database"));
    return config::chooseLocalDatabasePath(
        QCoreApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

int registryRowNamed(const NetworkList& list, const QString& name) {
    for (std::size_t row = 0; row < list.rows.size(); ++row)
        if (list.rows[row].accountSetName == name)
            return static_cast<int>(row);
    return -1;
}

// Loads the registry and finds the named row; prints why not when it is missing.
int findNetworkAccountSet(PageQueries& queries, const Environment& env, NetworkList& list,
                          const Command& command, QTextStream& err) {
    loadNetworkRegistry(queries, env, list, command.serverName);
    const int row = registryRowNamed(list, command.accountSetName);
    if (row < 0)
        err << QStringLiteral("网络帐套【%1】不存在").arg(command.accountSetName) << Qt::endl;
    return row;
}

int listRegistry(PageQueries& queries, const Environment& env, const Command& command,
                 QTextStream& out) {
    NetworkList list;
    loadNetworkRegistry(queries, env, list, command.serverName);
    for (const RegistryRow& row : list.rows)
        out << row.accountSetName << u'\t' << row.serverName << u'\t'
            << row.registeredAt.date().toString(Qt::ISODate) << Qt::endl;
    return AdminSuccess;
}

int exitCodeOf(CreateOutcome outcome) {
    switch (outcome) {
    case CreateOutcome::Created:
        return AdminSuccess;
    case CreateOutcome::CreatedWithoutNetwork:
        return AdminCreatedWithoutNetwork;
    default:
        return AdminFailure;
    }
}

int exitCodeOf(AdoptOutcome outcome) {
    switch (outcome) {
    case AdoptOutcome::Adopted:
        return AdminSuccess;
    case AdoptOutcome::AdoptedWithoutNetwork:
        return AdminCreatedWithoutNetwork;
    case AdoptOutcome::Incomplete:
        return AdminDifferencesFound;
    default:
        return AdminFailure;
    }
}

int exitCodeOf(RestoreOutcome outcome) {
    switch (outcome) {
    case RestoreOutcome::Restored:
        return AdminSuccess;
    case RestoreOutcome::RestoredWithoutNetwork:
        return AdminCreatedWithoutNetwork;
    default:
        return AdminFailure;
    }
}

// The wizard's checks on everything the command line brings, before the server is proved:
// refused input reaches neither the server nor the local configuration database.
std::optional<QString> inputProblem(const Command& command) {
    if (auto problem = server::serverInputProblem(command.serverName, command.login))
        return problem;
    const bool named = command.name == u"create" || command.name == u"select" ||
                       command.name == u"delete" || command.name == u"register";
    if (named) {
        if (command.accountSetName.isEmpty())
            return QStringLiteral("帐套名称不能为空！");
        if (auto problem = core::accountSetNameProblem(command.accountSetName))
            return problem;
    }
    if (command.name == u"create" || command.name == u"restore-sample" ||
        command.name == u"register")
        return core::accountPasswordProblem(command.accountPassword);
    return std::nullopt;
}

int runCommand(PageQueries& queries, const Environment& env, const Command& command,
               QTextStream& out, QTextStream& err) {
    const NewAccountSet input{command.serverName, command.accountSetName, command.accountPassword,
                              command.network};
    if (command.name == u"create")
        return exitCodeOf(createAccountSet(queries, env, input));
    if (command.name == u"restore-sample")
        return exitCodeOf(restoreSample(queries, env, input));
    if (command.name == u"list")
        return listRegistry(queries, env, command, out);
    if (command.name == u"register")
        return exitCodeOf(adoptAccountSet(queries, env, input).outcome);
    NetworkList list;
    const int row = findNetworkAccountSet(queries, env, list, command, err);
    if (row < 0)
        return AdminFailure;
    if (command.name == u"select")
        return selectNetworkAccountSet(queries, env, list, row) == SelectOutcome::Selected
                   ? AdminSuccess
                   : AdminFailure;
    return deleteNetworkAccountSet(queries, env, list, row, command.accountPassword) ==
                   DeleteOutcome::Deleted
               ? AdminSuccess
               : AdminFailure;
}

// The probe query goes on holding its connection, which the command's queries share. The
// local configuration database is checked before anything reaches the server.
bool proveServer(const Command& command, const QString& localConnection, db::Query& probe,
                 QTextStream& err) {
    db::Query local(QStringLiteral("ADOQuery2"));
    try {
        local.setConnectionString(localConnection);
        server::proveAndStoreServer(probe, local, command.localDatabasePath, command.serverName,
                                    command.login);
        return true;
    } catch (const std::exception& failure) {
        const QString headline =
            core::isLocalDatabaseFailure(failure)
                ? core::unusableLocalDatabaseHeadline()
                : QStringLiteral("连接服务器失败，请重新选择或录入服务器名称！");
        err << core::withCause(headline, failure) << Qt::endl;
        return false;
    }
}

} // namespace

int runAdminTool(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    if (const std::optional<int> status = runCatalogCommand(arguments, out, err))
        return *status;
    QCommandLineParser parser;
    addOptions(parser);
    Command command;
    try {
        if (!parser.parse(arguments))
            throw UsageError(parser.errorText());
        if (parser.isSet(QStringLiteral("help"))) {
            out << helpText;
            out << catalogCommandsHelp();
            return AdminSuccess;
        }
        if (parser.isSet(QStringLiteral("local-database-path"))) {
            out << localDatabaseInUse(parser) << Qt::endl;
            return AdminSuccess;
        }
        command = parseCommand(parser);
    } catch (const UsageError& usage) {
        err << QStringLiteral("zt-admin: ") << usage.text << Qt::endl
            << QStringLiteral("Try 'zt-admin --help'.") << Qt::endl;
        return AdminUsageError;
    }

    if (const auto problem = inputProblem(command)) {
        err << *problem << Qt::endl;
        return AdminFailure;
    }
    const QString localConnection = config::localConnectionString(command.localDatabasePath);
    PageQueries queries;
    db::Query probe(QStringLiteral("ADOQuery1"));
    probe.shareConnections(queries.connections);
    if (!proveServer(command, localConnection, probe, err))
        return AdminFailure;
    StageLine stages(err, command.quiet);
    ConsoleDialogs dialogs(out, err, &stages);
    Environment env{dialogs, localConnection};
    env.progress = stages.callback();
    try {
        return runCommand(queries, env, command, out, err);
    } catch (const std::exception& failure) {
        stages.eraseShownStage();
        err << failureText(messageOf(failure)) << Qt::endl;
        return AdminFailure;
    }
}

} // namespace zt::accountset
