#pragma once
// The account-set operations without a window: creating an account set, registering it
// locally and in the server's network registry, restoring the sample, listing, selecting and
// deleting network account sets. The account-set page and zt-admin both drive these; every
// message goes through the Dialogs seam, so each front end shows or prints the same texts.
// Failures the operations do not handle themselves leave as db::DbError.

#include "core/input_checks.h"
#include "db/query.h"
#include "db/shared_connections.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

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

inline QString trimmedText(const QString& text) {
    return core::trimmedText(text);
}

inline bool isAcceptableAccountSetName(const QString& name) {
    return core::isAcceptableAccountSetName(name);
}

// "Reading the server's login": the credential part of the server's row in 系统路径表.
QString readServerLogin(PageQueries& queries, const Environment& env, const QString& serverName);

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

enum class CreateOutcome {
    Created,
    CreatedWithoutNetwork, // created and registered here; the network registration failed
    EmptyServerName,
    EmptyName,
    RefusedServerName,
    RefusedName,
    RefusedPassword
};
// "创建新帐套&A": checks, create database, schema, default rows, registration, the success
// message. All or nothing: when a step after "create database" fails, the database and any
// registry row this run wrote are removed before the failure leaves (as db::DbError, or
// core::ExplainedFailure when a database of that name is a half-made account set or could not
// be removed again).
CreateOutcome createAccountSet(PageQueries& queries, const Environment& env,
                               const NewAccountSet& accountSet);
// The input checks of "创建新帐套&A" alone, their messages included: the refusal, or nothing
// when the inputs may go to the server.
std::optional<CreateOutcome> refuseCreationInputs(const Environment& env,
                                                  const NewAccountSet& accountSet);

enum class RestoreOutcome {
    Restored,
    RestoredWithoutNetwork,
    EmptyServerName,
    RefusedServerName,
    RefusedPassword
};
// "创建例子帐套&S": restores the sample backup under the sample name and registers it.
// accountSet.name is ignored. registered runs after the registration, before the success
// message (the page empties its name field there). A failing registration removes the
// restored database again, unless it was there before the restore.
RestoreOutcome restoreSample(PageQueries& queries, const Environment& env,
                             const NewAccountSet& accountSet,
                             const std::function<void()>& registered = {});
// The input checks of "创建例子帐套&S" alone, as refuseCreationInputs.
std::optional<RestoreOutcome> refuseRestoreInputs(const Environment& env,
                                                  const NewAccountSet& accountSet);

// One row of master.CHdatebase as the list shows it.
struct RegistryRow {
    qint64 id = 0;
    QString ztmc;
    QString zjmc;
    QString kl; // NULL reads as empty
    QDateTime jlrq;
};

// The registry as last loaded, with the server and credentials it was loaded with: the
// selection and deletion act on that server, whatever the page names since.
struct NetworkList {
    bool loaded = false;
    QString serverName;
    QString credentialPart;
    std::vector<RegistryRow> rows;
};

// Loads the registry of the server into the list (registryList, "ADOztgl", stays open on
// it). Any failure leaves an empty, unloaded list; nothing is reported.
bool loadNetworkRegistry(PageQueries& queries, const Environment& env, NetworkList& list,
                         const QString& serverName);

enum class SelectOutcome { NothingToSelect, AlreadyRegistered, Declined, Selected };
// "选择网络帐套&N": brings a listed account set to this workstation. Throws db::DbError when
// the local database fails.
SelectOutcome selectNetworkAccountSet(PageQueries& queries, const Environment& env,
                                      const NetworkList& list, int row);

// BitBtn3Click's question; true when the user agreed (and the password box is to be shown).
bool confirmNetworkDeletion(const Environment& env, const NetworkList& list, int row);

enum class DeleteOutcome { NothingToDelete, WrongPassword, Deleted, Failed };
// The checks of "删除&D" before anything reaches the server: no row chosen, or a password that
// is not the account set's (beep and "帐套口令错误"). Nothing when the deletion may go on.
std::optional<DeleteOutcome> refuseNetworkDeletion(const Environment& env, const NetworkList& list,
                                                   int row, const QString& typedPassword);
// "删除&D": password check, drop database, registry row deleted. Never throws.
DeleteOutcome deleteNetworkAccountSet(PageQueries& queries, const Environment& env,
                                      NetworkList& list, int row, const QString& typedPassword);

} // namespace zt::accountset
