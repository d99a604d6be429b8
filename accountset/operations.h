#pragma once
// The account-set operations without a window: creating an account set, registering it
// locally and in the server's network registry, restoring the sample, listing, selecting and
// deleting network account sets. The account-set page and zt-admin both drive these; every
// message goes through the Dialogs seam, so each front end shows or prints the same texts.
// Failures the operations do not handle themselves leave as db::DbError.

#include "db/query.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
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

// The long-lived query objects of the account-set page, by their names.
struct PageQueries {
    db::Query ADOserver{QStringLiteral("ADOserver")}; // local: 系统路径表 and the templates
    db::Query ADOQuery1{QStringLiteral("ADOQuery1")}; // local: 帐套信息表
    db::Query ADOQuery2{QStringLiteral("ADOQuery2")}; // master: registering
    db::Query ADOQuery3{QStringLiteral("ADOQuery3")}; // server: create database
    db::Query ADOQuery4{QStringLiteral("ADOQuery4")}; // server: restore
    db::Query ADOQuery5{QStringLiteral("ADOQuery5")}; // server: drop database
    db::Query ADOcreate{QStringLiteral("ADOcreate")}; // the new account-set database
    db::Query ADOztgl{QStringLiteral("ADOztgl")};     // master: the registry list
};

// What every operation needs besides its query objects.
struct Environment {
    Dialogs& dialogs;
    QString localConnectionString;
    Clock today = systemToday;
    QString sampleBackupPath = defaultSampleBackupPath();
    QString sampleDataDirectory = defaultSampleDataDirectory();
};

// Leading and trailing blanks and control characters removed.
QString trimmedText(const QString& text);

// After trimming: a regular SQL Server identifier (letter or '_' first, then letters,
// digits, '_', '@', '$', '#'), not a reserved word, at most 50 characters.
bool isAcceptableAccountSetName(const QString& name);

// "Reading the server's login": the credential part of the server's row in 系统路径表.
QString readServerLogin(PageQueries& queries, const Environment& env, const QString& serverName);

// The inputs of a new account set, as typed on the page.
struct NewAccountSet {
    QString serverName;
    QString name;
    QString password;
    bool network = false;
};

// ActnetExecute: records the account set in master.CHdatebase, creating the table on first
// use. Shows the notice "加入网络帐套出错！" itself when the append fails; never throws.
bool ActnetExecute(PageQueries& queries, const Environment& env, const NewAccountSet& accountSet,
                   const QString& credentialPart);

// ActpostExecute: one row in 帐套信息表 (and the network registration when ticked).
void ActpostExecute(PageQueries& queries, const Environment& env, const NewAccountSet& accountSet,
                    const QString& credentialPart);

enum class CreateOutcome { Created, EmptyServerName, EmptyName, RefusedName };
// BitBtn1Click's work: checks, create database, schema, default rows, registration, the
// success message. Throws db::DbError at the first failing step; nothing is undone.
CreateOutcome createAccountSet(PageQueries& queries, const Environment& env,
                               const NewAccountSet& accountSet);

enum class RestoreOutcome { Restored, EmptyServerName };
// BitBtn4Click's work: restores the sample backup under the sample name and registers it.
// accountSet.name is ignored. registered runs after the registration, before the success
// message (the page empties its name field there). Throws db::DbError at the first failing
// step.
RestoreOutcome restoreSample(PageQueries& queries, const Environment& env,
                             const NewAccountSet& accountSet,
                             const std::function<void()>& registered = {});

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

// ActnetztExecute: loads the registry of the server into the list (ADOztgl stays open on
// it). Any failure leaves an empty, unloaded list; nothing is reported.
bool ActnetztExecute(PageQueries& queries, const Environment& env, NetworkList& list,
                     const QString& serverName);

enum class SelectOutcome { NothingToSelect, AlreadyRegistered, Declined, Selected };
// BitBtn2Click's work. Throws db::DbError when the local database fails.
SelectOutcome selectNetworkAccountSet(PageQueries& queries, const Environment& env,
                                      const NetworkList& list, int row);

// BitBtn3Click's question; true when the user agreed (and the password box is to be shown).
bool confirmNetworkDeletion(const Environment& env, const NetworkList& list, int row);

enum class DeleteOutcome { NothingToDelete, WrongPassword, Deleted, Failed };
// BitBtn5Click's work: password check, drop database, registry row deleted. Never throws.
DeleteOutcome deleteNetworkAccountSet(PageQueries& queries, const Environment& env,
                                      NetworkList& list, int row, const QString& typedPassword);

} // namespace zt::accountset
