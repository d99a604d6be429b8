#include "tools/admin_catalog_commands.h"

#include "accountset/account_set_scan.h"
#include "accountset/account_set_verifier.h"
#include "config/local_config.h"
#include "config/local_database_file.h"
#include "core/failure_explanation.h"
#include "db/query.h"
#include "schema/table.h"
#include "seed/default_data.h"
#include "server/server_login.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace zt::accountset {

namespace {

constexpr int success = 0;
constexpr int failure = 1;
constexpr int usage = 2;
constexpr int loginRefused = 18456;
const QString connectionFailedHeadline =
    QStringLiteral("连接服务器失败，请重新选择或录入服务器名称！");

const QStringList commandWords = {QStringLiteral("verify"), QStringLiteral("repair"),
                                  QStringLiteral("scan"), QStringLiteral("drop-incomplete"),
                                  QStringLiteral("clean-up")};
const QStringList optionsWithValue = {
    QStringLiteral("server"), QStringLiteral("user"), QStringLiteral("password"),
    QStringLiteral("account-password"), QStringLiteral("local-database")};

struct CatalogCommand {
    QString name;
    QString database;
    QStringList databases; // clean-up: the half-made account sets named to go too
    ServerTarget server;
    config::ServerLogin login;
    QString localDatabasePath;
    bool json = false;
    bool apply = false; // --yes
};

struct UsageError {
    QString text;
};

// The first word that is neither an option nor an option's value.
QString commandWord(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& word = arguments.at(i);
        if (!word.startsWith(u'-'))
            return word;
        const QString option = word.mid(word.startsWith(QLatin1String("--")) ? 2 : 1);
        if (optionsWithValue.contains(option))
            ++i;
    }
    return {};
}

void addOptions(QCommandLineParser& parser) {
    addConnectionOptions(parser);
    parser.addOptions({{QStringLiteral("json"), QString()}, {QStringLiteral("yes"), QString()}});
}

QString credentialPart(const QCommandLineParser& parser) {
    if (!parser.isSet(QStringLiteral("user")))
        return config::integratedSecurityFragment();
    return config::sqlLoginFragment(parser.value(QStringLiteral("user")),
                                    parser.value(QStringLiteral("password")));
}

CatalogCommand parseCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(arguments))
        throw UsageError{parser.errorText()};
    const QStringList words = parser.positionalArguments();
    CatalogCommand command;
    command.name = words.value(0);
    const bool cleans = command.name == u"clean-up";
    const int names = command.name == u"scan" ? 0 : 1;
    if (!cleans && words.size() != 1 + names)
        throw UsageError{QStringLiteral("wrong number of arguments for %1").arg(command.name)};
    if (!parser.isSet(QStringLiteral("server")))
        throw UsageError{QStringLiteral("--server is required")};
    if (parser.isSet(QStringLiteral("password")) && !parser.isSet(QStringLiteral("user")))
        throw UsageError{QStringLiteral("--password needs --user")};
    const bool drops = command.name == u"drop-incomplete";
    if (drops && !parser.isSet(QStringLiteral("yes")))
        throw UsageError{QStringLiteral("drop-incomplete needs --yes")};
    if (!drops && !cleans && parser.isSet(QStringLiteral("yes")))
        throw UsageError{QStringLiteral("--yes belongs to drop-incomplete and clean-up")};
    command.database = words.value(1);
    command.databases = words.mid(1);
    command.apply = parser.isSet(QStringLiteral("yes"));
    command.server.serverName = parser.value(QStringLiteral("server"));
    command.server.credentialPart = credentialPart(parser);
    command.login.integratedSecurity = !parser.isSet(QStringLiteral("user"));
    command.login.userName = parser.value(QStringLiteral("user"));
    command.login.password = parser.value(QStringLiteral("password"));
    command.localDatabasePath = parser.isSet(QStringLiteral("local-database"))
                                    ? parser.value(QStringLiteral("local-database"))
                                    : config::localDatabasePath();
    command.json = parser.isSet(QStringLiteral("json"));
    return command;
}

// ---- text for people ----

int displayWidth(const QString& text) {
    int width = 0;
    for (const QChar c : text)
        width += c.unicode() >= 0x2E80 ? 2 : 1; // CJK and full-width forms take two cells
    return width;
}

QString padded(const QString& text, int width) {
    return text + QString(std::max(0, width - displayWidth(text)), u' ');
}

QString orDash(const QString& text) {
    return text.isEmpty() ? QStringLiteral("—") : text;
}

void printTable(QTextStream& out, const QStringList& header, const std::vector<QStringList>& rows) {
    std::vector<int> widths(size_t(header.size()), 0);
    auto measure = [&](const QStringList& row) {
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[size_t(i)] = std::max(widths[size_t(i)], displayWidth(row.at(i)));
    };
    measure(header);
    for (const QStringList& row : rows)
        measure(row);
    auto print = [&](const QStringList& row) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i)
            line += i + 1 == row.size() ? row.at(i) : padded(row.at(i), widths[size_t(i)] + 2);
        while (line.endsWith(u' '))
            line.chop(1);
        out << line << Qt::endl;
    };
    print(header);
    for (const QStringList& row : rows)
        print(row);
}

void printDrifts(QTextStream& out, const std::vector<Drift>& drifts) {
    std::vector<QStringList> rows;
    for (const Drift& drift : drifts)
        rows.push_back({driftKindText(drift.kind), drift.table, orDash(drift.column),
                        orDash(drift.expected), orDash(drift.found)});
    printTable(out,
               {QStringLiteral("类别"), QStringLiteral("表"), QStringLiteral("列"),
                QStringLiteral("应为"), QStringLiteral("实为")},
               rows);
}

QString statementsAndSeconds(const RoundTrips& roundTrips) {
    return QStringLiteral("（%1 条语句，%2 秒）")
        .arg(roundTrips.statements)
        .arg(roundTrips.seconds, 0, 'f', 3);
}

QString summary(const Verification& v) {
    const int tables = int(schema::accountSetTables().size());
    QString text =
        v.matches()
            ? QStringLiteral("帐套【%1】与定义相符：%2 张表、超级管理员及其 %3 项权限齐全。")
                  .arg(v.database)
                  .arg(tables)
                  .arg(seed::rightCount)
            : QStringLiteral("帐套【%1】与定义不符：%2 处不同。")
                  .arg(v.database)
                  .arg(v.differenceCount());
    if (v.extraTableCount() > 0)
        text += QStringLiteral("另有 %1 张多余的表，不算不符。").arg(v.extraTableCount());
    return text;
}

// ---- text for scripts ----

QJsonArray driftsJson(const std::vector<Drift>& drifts) {
    QJsonArray array;
    for (const Drift& drift : drifts)
        array.append(QJsonObject{{QStringLiteral("kind"), driftKindKey(drift.kind)},
                                 {QStringLiteral("table"), drift.table},
                                 {QStringLiteral("column"), drift.column},
                                 {QStringLiteral("expected"), drift.expected},
                                 {QStringLiteral("found"), drift.found}});
    return array;
}

QJsonObject verificationJson(const Verification& v) {
    return QJsonObject{{QStringLiteral("database"), v.database},
                       {QStringLiteral("matches"), v.matches()},
                       {QStringLiteral("differences"), v.differenceCount()},
                       {QStringLiteral("extraTables"), v.extraTableCount()},
                       {QStringLiteral("drifts"), driftsJson(v.drifts)},
                       {QStringLiteral("statements"), v.roundTrips.statements},
                       {QStringLiteral("seconds"), v.roundTrips.seconds}};
}

void printJson(QTextStream& out, QJsonObject object, const QString& command) {
    object.insert(QStringLiteral("command"), command);
    if (!object.contains(QStringLiteral("ok")))
        object.insert(QStringLiteral("ok"), true); // the command ran to its end
    out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

QJsonArray stringsJson(const QStringList& list) {
    return QJsonArray::fromStringList(list);
}

// ---- the commands ----

int verify(const CatalogCommand& command, QTextStream& out) {
    const Verification v = verifyAccountSet(command.server, command.database);
    if (command.json) {
        printJson(out, verificationJson(v), command.name);
    } else {
        if (!v.drifts.empty())
            printDrifts(out, v.drifts);
        out << summary(v) << statementsAndSeconds(v.roundTrips) << Qt::endl;
    }
    return v.matches() ? success : AdminDifferencesFound;
}

void printRepair(const Repair& r, QTextStream& out) {
    const QString name = r.before.database;
    if (r.refused) {
        out << QStringLiteral("帐套【%1】的列与定义不同，不作修复：").arg(name) << Qt::endl;
        printDrifts(out, r.refusedFor);
        return;
    }
    const bool nothing =
        r.createdTables.isEmpty() && !r.addedSuperAdministrator && r.addedRights == 0;
    if (nothing)
        out << QStringLiteral("帐套【%1】没有可修复之处。").arg(name) << Qt::endl;
    if (!r.createdTables.isEmpty())
        out << QStringLiteral("已创建 %1 张表：%2")
                   .arg(r.createdTables.size())
                   .arg(r.createdTables.join(QStringLiteral("、")))
            << Qt::endl;
    if (!r.filledTemplateTables.isEmpty())
        out << QStringLiteral("已为空的默认数据表复制默认行：%1")
                   .arg(r.filledTemplateTables.join(QStringLiteral("、")))
            << Qt::endl;
    if (r.addedSuperAdministrator)
        out << QStringLiteral("已添加超级管理员。") << Qt::endl;
    if (r.addedRights > 0)
        out << QStringLiteral("已添加 %1 行权限。").arg(r.addedRights) << Qt::endl;
    if (!r.after.matches())
        printDrifts(out, r.after.drifts);
    out << summary(r.after) << Qt::endl;
}

int repair(const CatalogCommand& command, QTextStream& out) {
    const Repair r = repairAccountSet(command.server, command.database,
                                      config::localConnectionString(command.localDatabasePath));
    if (command.json) {
        QJsonObject object{
            {QStringLiteral("database"), command.database},
            {QStringLiteral("refused"), r.refused},
            {QStringLiteral("refusedFor"), driftsJson(r.refusedFor)},
            {QStringLiteral("createdTables"), stringsJson(r.createdTables)},
            {QStringLiteral("filledTemplateTables"), stringsJson(r.filledTemplateTables)},
            {QStringLiteral("addedSuperAdministrator"), r.addedSuperAdministrator},
            {QStringLiteral("addedRights"), r.addedRights}};
        if (!r.refused)
            object.insert(QStringLiteral("after"), verificationJson(r.after));
        printJson(out, object, command.name);
    } else {
        printRepair(r, out);
    }
    return !r.refused && r.after.matches() ? success : AdminDifferencesFound;
}

QString statusText(const ScannedDatabase& d) {
    const int total = int(schema::accountSetTables().size());
    switch (d.kind) {
    case DatabaseKind::AccountSet:
        return QStringLiteral("完整（%1/%2）").arg(d.tables).arg(total);
    case DatabaseKind::Incomplete:
        return d.tables == total
                   ? QStringLiteral("不完整（%1/%2，缺少默认数据）").arg(d.tables).arg(total)
                   : QStringLiteral("不完整（%1/%2）").arg(d.tables).arg(total);
    case DatabaseKind::Empty:
        return QStringLiteral("空数据库");
    case DatabaseKind::UnfinishedCreation:
        return QStringLiteral("未完成的创建");
    case DatabaseKind::Probe:
        return QStringLiteral("遗留的探测数据库");
    case DatabaseKind::Unreadable:
        return QStringLiteral("无法读取");
    }
    return {};
}

QString kindKey(DatabaseKind kind) {
    switch (kind) {
    case DatabaseKind::AccountSet:
        return QStringLiteral("complete");
    case DatabaseKind::Incomplete:
        return QStringLiteral("incomplete");
    case DatabaseKind::Empty:
        return QStringLiteral("empty");
    case DatabaseKind::UnfinishedCreation:
        return QStringLiteral("unfinishedCreation");
    case DatabaseKind::Probe:
        return QStringLiteral("probe");
    case DatabaseKind::Unreadable:
        return QStringLiteral("unreadable");
    }
    return {};
}

void printScan(const Scan& scan, const QString& serverName, QTextStream& out) {
    std::vector<QStringList> rows;
    int incomplete = 0;
    int leftovers = 0;
    for (const ScannedDatabase& d : scan.databases) {
        incomplete += d.kind == DatabaseKind::Incomplete ? 1 : 0;
        leftovers += d.leftover() ? 1 : 0;
        rows.push_back({d.name, statusText(d),
                        d.registered ? QStringLiteral("已登记") : QStringLiteral("未登记"),
                        d.error});
    }
    for (const OrphanRegistryRow& row : scan.orphanRegistryRows)
        rows.push_back({row.name, QStringLiteral("数据库不存在"), QStringLiteral("已登记"),
                        QStringLiteral("网络帐套登记行 id=%1").arg(row.id)});
    if (!rows.empty())
        printTable(out,
                   {QStringLiteral("数据库"), QStringLiteral("状态"),
                    QStringLiteral("网络帐套登记"), QString()},
                   rows);
    out << QStringLiteral("服务器 %1 上有 %2 个数据库与帐套有关，其中 %3 个不完整，%4 个是中断的"
                          "操作留下的；%5 行网络帐套登记指向不存在的数据库。")
               .arg(serverName)
               .arg(scan.databases.size())
               .arg(incomplete)
               .arg(leftovers)
               .arg(scan.orphanRegistryRows.size())
        << statementsAndSeconds(scan.roundTrips) << Qt::endl;
    if (leftovers > 0 || !scan.orphanRegistryRows.empty())
        out << QStringLiteral(
                   "“zt-admin clean-up --yes”可删除中断的操作留下的数据库和无效的登记行。")
            << Qt::endl;
}

int scan(const CatalogCommand& command, QTextStream& out) {
    const Scan result = scanServer(command.server);
    if (!command.json) {
        printScan(result, command.server.serverName, out);
        return success;
    }
    QJsonArray databases;
    for (const ScannedDatabase& d : result.databases) {
        QJsonObject object{{QStringLiteral("name"), d.name},
                           {QStringLiteral("status"), kindKey(d.kind)},
                           {QStringLiteral("tables"), d.tables},
                           {QStringLiteral("of"), int(schema::accountSetTables().size())},
                           {QStringLiteral("defaultRows"), d.defaultRows},
                           {QStringLiteral("registered"), d.registered}};
        if (!d.error.isEmpty())
            object.insert(QStringLiteral("error"), d.error);
        databases.append(object);
    }
    QJsonArray orphans;
    for (const OrphanRegistryRow& row : result.orphanRegistryRows)
        orphans.append(
            QJsonObject{{QStringLiteral("id"), row.id}, {QStringLiteral("name"), row.name}});
    QJsonObject object{{QStringLiteral("server"), command.server.serverName},
                       {QStringLiteral("registryExists"), result.registryExists},
                       {QStringLiteral("databases"), databases},
                       {QStringLiteral("orphanRegistryRows"), orphans},
                       {QStringLiteral("statements"), result.roundTrips.statements},
                       {QStringLiteral("seconds"), result.roundTrips.seconds}};
    printJson(out, object, command.name);
    return success;
}

QString dropOutcomeKey(DropOutcome outcome) {
    switch (outcome) {
    case DropOutcome::Dropped:
        return QStringLiteral("dropped");
    case DropOutcome::NotFound:
        return QStringLiteral("notFound");
    case DropOutcome::NotAnAccountSet:
        return QStringLiteral("notAnAccountSet");
    case DropOutcome::Complete:
        return QStringLiteral("complete");
    case DropOutcome::Registered:
        return QStringLiteral("registered");
    case DropOutcome::RegisteredLocally:
        return QStringLiteral("registeredLocally");
    case DropOutcome::Unreadable:
        return QStringLiteral("unreadable");
    case DropOutcome::InUse:
        return QStringLiteral("inUse");
    }
    return {};
}

QString dropOutcomeText(const DropResult& result, const QString& name) {
    const int total = int(schema::accountSetTables().size());
    switch (result.outcome) {
    case DropOutcome::Dropped:
        return QStringLiteral("已删除不完整的数据库【%1】（%2 张表中的 %3 张）。")
            .arg(name)
            .arg(total)
            .arg(result.tables);
    case DropOutcome::NotFound:
        return QStringLiteral("数据库【%1】不存在。").arg(name);
    case DropOutcome::NotAnAccountSet:
        return QStringLiteral("数据库【%1】中没有帐套的表，不删除。").arg(name);
    case DropOutcome::Complete:
        return QStringLiteral("数据库【%1】是完整的帐套，不删除。").arg(name);
    case DropOutcome::Registered:
        return QStringLiteral("数据库【%1】已登记为网络帐套，不删除。").arg(name);
    case DropOutcome::RegisteredLocally:
        return QStringLiteral("数据库【%1】已登记在本机的帐套信息表中，不删除。").arg(name);
    case DropOutcome::Unreadable:
        return QStringLiteral("无法读取数据库【%1】的表，不删除。").arg(name);
    case DropOutcome::InUse:
        return QStringLiteral("数据库【%1】正在被使用，未删除：请稍后再试。").arg(name);
    }
    return {};
}

int dropIncomplete(const CatalogCommand& command, QTextStream& out, QTextStream& err) {
    const DropResult result = dropIncompleteAccountSet(
        command.server, command.database, config::localConnectionString(command.localDatabasePath));
    const bool dropped = result.outcome == DropOutcome::Dropped;
    if (command.json)
        printJson(out,
                  QJsonObject{{QStringLiteral("database"), command.database},
                              {QStringLiteral("outcome"), dropOutcomeKey(result.outcome)},
                              {QStringLiteral("dropped"), dropped},
                              {QStringLiteral("tables"), result.tables}},
                  command.name);
    else
        (dropped ? out : err) << dropOutcomeText(result, command.database) << Qt::endl;
    return dropped ? success : failure;
}

QString cleanUpItemText(const CleanUpItem& item, bool applied) {
    if (item.registryRow)
        return (applied ? QStringLiteral("已删除网络帐套登记行：【%1】（数据库不存在）")
                        : QStringLiteral("将删除网络帐套登记行：【%1】（数据库不存在）"))
            .arg(item.name);
    if (item.outcome != DropOutcome::Dropped)
        return dropOutcomeText({item.outcome, 0}, item.name);
    ScannedDatabase d;
    d.kind = item.kind;
    return (applied ? QStringLiteral("已删除数据库【%1】（%2）")
                    : QStringLiteral("将删除数据库【%1】（%2）"))
        .arg(item.name, statusText(d));
}

int cleanUp(const CatalogCommand& command, QTextStream& out) {
    const CleanUp result =
        cleanUpServer(command.server, command.databases,
                      config::localConnectionString(command.localDatabasePath), command.apply);
    bool refused = false;
    for (const CleanUpItem& item : result.items)
        refused = refused || item.outcome != DropOutcome::Dropped;
    if (command.json) {
        QJsonArray items;
        for (const CleanUpItem& item : result.items)
            items.append(
                QJsonObject{{QStringLiteral("name"), item.name},
                            {QStringLiteral("kind"),
                             item.registryRow ? QStringLiteral("registryRow") : kindKey(item.kind)},
                            {QStringLiteral("named"), item.named},
                            {QStringLiteral("outcome"), dropOutcomeKey(item.outcome)}});
        printJson(out,
                  QJsonObject{{QStringLiteral("applied"), result.applied},
                              {QStringLiteral("items"), items},
                              {QStringLiteral("statements"), result.roundTrips.statements},
                              {QStringLiteral("seconds"), result.roundTrips.seconds}},
                  command.name);
        return refused ? failure : success;
    }
    for (const CleanUpItem& item : result.items)
        out << cleanUpItemText(item, result.applied) << Qt::endl;
    if (result.items.empty())
        out << QStringLiteral("服务器 %1 上没有需要清理的内容。").arg(command.server.serverName)
            << Qt::endl;
    else if (!result.applied)
        out << QStringLiteral("以上内容尚未删除：加上 --yes 即删除。") << Qt::endl;
    return refused ? failure : success;
}

// The message on standard error; with --json also a result object, so that a script always
// has one to read.
int reportFailure(const CatalogCommand& command, const QString& message, QTextStream& out,
                  QTextStream& err) {
    err << message << Qt::endl;
    if (command.json)
        printJson(out,
                  QJsonObject{{QStringLiteral("ok"), false}, {QStringLiteral("error"), message}},
                  command.name);
    return failure;
}

int run(const CatalogCommand& command, QTextStream& out, QTextStream& err) {
    if (command.name == u"clean-up")
        return cleanUp(command, out);
    if (command.name == u"verify")
        return verify(command, out);
    if (command.name == u"repair")
        return repair(command, out);
    if (command.name == u"scan")
        return scan(command, out);
    return dropIncomplete(command, out, err);
}

} // namespace

QString catalogCommandsHelp() {
    return QStringLiteral(
        "\n"
        "Looking into existing account sets (the server is neither probed nor stored):\n"
        "  zt-admin verify --server S [--user U --password P] [--json] NAME\n"
        "  zt-admin repair --server S [--user U --password P] [--json] NAME\n"
        "  zt-admin scan --server S [--user U --password P] [--json]\n"
        "  zt-admin drop-incomplete --server S [--user U --password P] [--json] NAME --yes\n"
        "  zt-admin clean-up --server S [--user U --password P] [--json] [--yes] [NAME...]\n"
        "verify compares the account set with the 108 table definitions and its default rows.\n"
        "repair creates missing tables and adds missing default rows; it never drops or alters\n"
        "anything and refuses when columns differ. scan lists every database holding any of\n"
        "the 108 tables. drop-incomplete drops a database only when scan calls it incomplete\n"
        "and neither the network registry nor this workstation names it. clean-up lists (and\n"
        "with --yes removes) what interrupted work of this program left: unfinished creations\n"
        "(NAME$zt_building$...), probe databases (abcde12345_...), network registry rows\n"
        "naming no database, and each NAME given that drop-incomplete would drop; never a\n"
        "complete or registered account set.\n"
        "  --json                print the result as JSON\n"
        "  --yes                 confirms drop-incomplete and clean-up\n"
        "Exit status 4: verify found differences, or repair refused or left some.\n");
}

std::optional<int> runCatalogCommand(const QStringList& arguments, QTextStream& out,
                                     QTextStream& err) {
    if (!commandWords.contains(commandWord(arguments)) ||
        arguments.contains(QStringLiteral("--help")))
        return std::nullopt;
    CatalogCommand command;
    try {
        command = parseCommand(arguments);
    } catch (const UsageError& error) {
        err << QStringLiteral("zt-admin: ") << error.text << Qt::endl
            << QStringLiteral("Try 'zt-admin --help'.") << Qt::endl;
        return usage;
    }
    if (const auto problem = server::serverInputProblem(command.server.serverName, command.login))
        return reportFailure(command, *problem, out, err);
    try {
        config::requireUsableLocalDatabase(command.localDatabasePath);
    } catch (const std::exception& error) {
        return reportFailure(command, core::withCause(core::unusableLocalDatabaseHeadline(), error),
                             out, err);
    }
    try {
        return run(command, out, err);
    } catch (const std::exception& error) {
        const auto* dbError = dynamic_cast<const db::DbError*>(&error);
        const bool unreachable = dbError && (dbError->source() == db::ErrorSource::Connection ||
                                             dbError->number() == loginRefused);
        return reportFailure(command,
                             unreachable ? core::withCause(connectionFailedHeadline, error)
                                         : core::causeOf(error),
                             out, err);
    }
}

void addConnectionOptions(QCommandLineParser& parser) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({
        {QStringLiteral("server"), QString(), QStringLiteral("S")},
        {QStringLiteral("user"), QString(), QStringLiteral("U")},
        {QStringLiteral("password"), QString(), QStringLiteral("P")},
        {QStringLiteral("local-database"), QString(), QStringLiteral("F")},
    });
}

} // namespace zt::accountset
