#pragma once
// The network registry master.CHdatebase as the page lists it: loading the list, bringing a
// listed account set to this workstation, deleting one.

#include "accountset/operations.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace zt::accountset {

// One row of master.CHdatebase as the list shows it.
struct RegistryRow {
    qint64 id = 0;
    QString accountSetName; // ztmc
    QString serverName;     // zjmc
    QString password;       // kl; NULL reads as empty
    QDateTime registeredAt; // jlrq
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
