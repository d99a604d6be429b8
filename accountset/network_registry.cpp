#include "accountset/network_registry.h"

#include "accountset/server_databases.h"

#include "config/local_config.h"
#include "core/dialogs.h"
#include "core/input_checks.h"
#include "server/connection_strings.h"

#include <exception>
#include <iterator>

namespace zt::accountset {

using namespace steps;

namespace {

QString deletionCaption() {
    return QStringLiteral("删除帐套");
}

RegistryRow readRegistryRow(db::Query& list) {
    RegistryRow row;
    row.id = list.fieldByName(QStringLiteral("id")).asString().toLongLong();
    row.accountSetName = list.fieldByName(QStringLiteral("ztmc")).asString();
    row.serverName = list.fieldByName(QStringLiteral("zjmc")).asString();
    row.password = list.fieldByName(QStringLiteral("kl")).asString();
    row.registeredAt = list.fieldByName(QStringLiteral("jlrq")).asDateTime();
    return row;
}

bool hasRow(const NetworkList& list, int row) {
    return list.loaded && row >= 0 && row < static_cast<int>(list.rows.size());
}

// Puts the open registry list on the given row, counted from the first.
void moveListTo(db::Query& list, int row) {
    list.first();
    for (int i = 0; i < row; ++i)
        list.next();
}

} // namespace

bool loadNetworkRegistry(PageQueries& queries, const Environment& env, NetworkList& list,
                         const QString& serverName) {
    list = NetworkList{};
    if (serverName.isEmpty())
        return false;
    try {
        const QString credentialPart = readCredentialPart(queries, env, serverName);
        db::Query& registry = queries.registryList;
        registry.setConnectionString(server::masterConnectionString(credentialPart, serverName));
        openSelect(registry, registryStatement());
        for (registry.first(); !registry.eof(); registry.next())
            list.rows.push_back(readRegistryRow(registry));
        list.serverName = serverName;
        list.credentialPart = credentialPart;
        list.loaded = true;
        return true;
    } catch (const std::exception&) {
        list = NetworkList{};
        return false;
    }
}

SelectOutcome selectNetworkAccountSet(PageQueries& queries, const Environment& env,
                                      const NetworkList& list, int row) {
    if (!hasRow(list, row))
        return SelectOutcome::NothingToSelect;
    const RegistryRow& chosen = list.rows.at(static_cast<std::size_t>(row));
    db::Query& local = queries.localRegistrations;
    local.setConnectionString(env.localConnectionString);
    if (config::isAccountSetRegistered(local, chosen.accountSetName, chosen.serverName)) {
        showNotice(env, QStringLiteral("已经存在服务器名称和帐套名称相同的帐套！"));
        return SelectOutcome::AlreadyRegistered;
    }
    if (!confirm(env, QStringLiteral("确定要将网络帐套【") + chosen.accountSetName +
                          QStringLiteral("】的选择引入吗？")))
        return SelectOutcome::Declined;

    config::AccountSetRegistration registration;
    registration.accountSetName = chosen.accountSetName;
    registration.registeredOn = env.today();
    registration.password = chosen.password;
    registration.serverName = chosen.serverName;
    registration.network = true;
    config::registerAccountSet(local, registration);
    local.close();
    env.dialogs.message(QStringLiteral("网络帐套选择引入成功！"), successCaption(),
                        DialogIcon::Information);
    return SelectOutcome::Selected;
}

bool confirmNetworkDeletion(const Environment& env, const NetworkList& list, int row) {
    if (!hasRow(list, row))
        return false;
    return confirm(env, QStringLiteral("帐套删除后不可恢复，请确定帐套已经备份。"
                                       "你确定要删除帐套名称为【") +
                            list.rows.at(static_cast<std::size_t>(row)).accountSetName +
                            QStringLiteral("】的账套吗？"));
}

std::optional<DeleteOutcome> refuseNetworkDeletion(const Environment& env, const NetworkList& list,
                                                   int row, const QString& typedPassword) {
    if (!hasRow(list, row))
        return DeleteOutcome::NothingToDelete;
    if (list.rows.at(static_cast<std::size_t>(row)).password != typedPassword) {
        env.dialogs.beep();
        env.dialogs.message(QStringLiteral("帐套口令错误"), deletionCaption(), DialogIcon::Error);
        return DeleteOutcome::WrongPassword;
    }
    return std::nullopt;
}

DeleteOutcome deleteNetworkAccountSet(PageQueries& queries, const Environment& env,
                                      NetworkList& list, int row, const QString& typedPassword) {
    if (const auto refusal = refuseNetworkDeletion(env, list, row, typedPassword))
        return *refusal;
    const RegistryRow chosen = list.rows.at(static_cast<std::size_t>(row));
    try {
        // A registry name that is no plain identifier would change the drop statement.
        if (!core::isAcceptableAccountSetName(chosen.accountSetName) ||
            chosen.accountSetName != core::trimmedText(chosen.accountSetName))
            throw db::DbError(QStringLiteral("unsafe account-set name"));
        queries.serverDrop.setConnectionString(
            server::serverConnectionString(list.credentialPart, list.serverName));
        dropDatabase(queries.serverDrop, chosen.accountSetName);
        moveListTo(queries.registryList, row);
        queries.registryList.deleteRow();
        list.rows.erase(std::next(list.rows.begin(), row));
    } catch (const std::exception&) {
        inform(env, QStringLiteral(" 帐套删除错误"), deletionCaption());
        return DeleteOutcome::Failed;
    }
    inform(env, QStringLiteral("此帐套已成功删除"), deletionCaption());
    return DeleteOutcome::Deleted;
}

} // namespace zt::accountset
