#pragma once
// What the account-set operations without a window share: their query objects, their
// environment, the stages they report, the server credentials they read and the registration
// they end with.
// The roads themselves are creation.h, sample_restore.h and network_registry.h. The
// account-set page and zt-admin both drive them; every message goes through the Dialogs seam,
// so each front end shows or prints the same texts. Failures the operations do not handle
// themselves leave as db::DbError.

#include "db/query.h"
#include "db/shared_connections.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

namespace zt {
class Dialogs;
}

namespace zt::accountset {

using Clock = std::function<QDate()>;
QDate systemToday();

// The fixed database name of the sample account set.
QString sampleAccountSetName();
// <directory of the executable>/data/sample.bak
QString defaultSampleBackupPath();
// The directory made sure of on the workstation before a restore.
QString defaultSampleDataDirectory();

// The long-lived query objects of the account-set page, by their names. Those that reach
// the same server and database share one connection.
struct PageQueries {
    PageQueries();
    std::shared_ptr<db::SharedConnections> connections;
    db::Query localSettings{QStringLiteral("ADOserver")}; // local: 系统路径表 and the templates
    db::Query localRegistrations{QStringLiteral("ADOQuery1")}; // local: 帐套信息表
    db::Query registryWriter{QStringLiteral("ADOQuery2")};     // master: registering
    db::Query serverCreate{QStringLiteral("ADOQuery3")};       // server: create database
    db::Query serverRestore{QStringLiteral("ADOQuery4")};      // server: restore
    db::Query serverDrop{QStringLiteral("ADOQuery5")};         // server: drop database
    db::Query newDatabase{QStringLiteral("ADOcreate")};        // the new account-set database
    db::Query registryList{QStringLiteral("ADOztgl")};         // master: the registry list
};

// The stages of a creation, as a progress window names them.
enum class CreationStage { CreatingDatabase, CreatingTables, WritingDefaultData, Registering };
// Told as a creation or restore moves on (done of total within the stage). It may throw to
// stop the work at that point; what the run made is then taken back.
using CreationProgress = std::function<void(CreationStage stage, int done, int total)>;

// The stage as a progress window names it: "正在创建数据库…", "正在创建表 n/108",
// "正在写入默认数据", "正在登记帐套".
QString stageText(CreationStage stage, int done, int total);

// What a front end throws from its progress callback when the user cancels: the work stops
// there and what the run made is taken back before it leaves.
class Cancelled : public std::runtime_error {
public:
    Cancelled() : std::runtime_error("cancelled") {}
};

// What every operation needs besides its query objects.
struct Environment {
    Dialogs& dialogs;
    QString localConnectionString;
    Clock today = systemToday;
    QString sampleBackupPath = defaultSampleBackupPath();
    QString sampleDataDirectory = defaultSampleDataDirectory();
    CreationProgress progress = {};
};

// config::readCredentialPart over the page's local settings, connected to the local database
// first: the credential part of the server's row in 系统路径表.
QString readCredentialPart(PageQueries& queries, const Environment& env, const QString& serverName);

// The inputs of a new account set, as typed on the page.
struct NewAccountSet {
    QString serverName;
    QString name;
    QString password;
    bool network = false;
};

// registerOnNetwork: records the account set in master.CHdatebase, creating the table on first
// use. Shows the notice "加入网络帐套出错！" itself when the append fails and answers nothing;
// otherwise the id of the row it wrote. Never throws.
std::optional<qint64> registerOnNetwork(PageQueries& queries, const Environment& env,
                                        const NewAccountSet& accountSet,
                                        const QString& credentialPart);

// recordAccountSet: the local row of 帐套信息表 opened and appended, the network registration
// when ticked, then the local row posted. A failure of the local row takes the network
// registration back before it leaves. Answers false when the network registration failed
// (the notice was shown; the local row then says net "否").
bool recordAccountSet(PageQueries& queries, const Environment& env, const NewAccountSet& accountSet,
                      const QString& credentialPart);

// ---- The steps the roads share (not for the front ends) ----
namespace steps {

// A plain message dialog under the application's title, no icon, one OK button.
void showNotice(const Environment& env, const QString& text);
bool confirm(const Environment& env, const QString& question);
void inform(const Environment& env, const QString& text, const QString& caption);
// "新增账套", the caption of a success.
QString successCaption();

// Close, clear, one select, then open it.
void openSelect(db::Query& query, const QString& statement);
// "select*from CHdatebase"
QString registryStatement();
void reportProgress(const Environment& env, CreationStage stage, int done, int total);
// Drops an appended or edited row that was not posted.
void discardPendingRow(db::Query& query);

// A database of that name exists already: when it is a half-made account set (a crash in an
// earlier version's creation), say so. Nothing is dropped: this run did not make it.
[[noreturn]] void refuseExistingDatabase(PageQueries& queries, const QString& credentialPart,
                                         const QString& serverName, const QString& name);
// The finished database takes its name in one step; another creation that took the name
// meanwhile makes this one fail (1801) and this run's database is dropped by the caller.
void giveFinalName(db::Query& serverQuery, PageQueries& queries, const QString& credentialPart,
                   const QString& serverName, const QString& working, const QString& name);
// Drops a database this run made, on a fresh connection (the old one may have died with the
// failure). False when the server would not or could not drop it.
bool dropDatabaseOfThisRun(db::Query& serverQuery, db::Query& databaseQuery,
                           const QString& serverConnection, const QString& name);
// Leaves with the failure that ended the work; when what the run made could not be taken
// back, the message names the database left behind and how to clear it.
[[noreturn]] void failAfterCleanUp(const std::exception_ptr& failure, bool cleanedUp,
                                   const QString& name);

} // namespace steps

} // namespace zt::accountset
