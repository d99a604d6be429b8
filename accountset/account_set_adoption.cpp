#include "accountset/account_set_adoption.h"

#include "accountset/account_set_verifier.h"
#include "accountset/catalog_reader.h"
#include "config/local_config.h"
#include "core/dialogs.h"
#include "core/input_checks.h"
#include "db/sql_literal.h"

namespace zt::accountset {

namespace {

const QString adoptionCaption = QStringLiteral("登记帐套");

void tell(const Environment& env, const QString& text) {
    env.dialogs.message(text, adoptionCaption, DialogIcon::Information);
}

std::optional<QString> inputProblem(const NewAccountSet& accountSet) {
    if (auto problem = core::serverNameProblem(accountSet.serverName))
        return problem;
    if (accountSet.name.isEmpty())
        return QStringLiteral("帐套名称不能为空！");
    if (auto problem = core::accountSetNameProblem(accountSet.name))
        return problem;
    return core::accountPasswordProblem(accountSet.password);
}

bool onNetwork(const ServerTarget& server, const QString& name) {
    CatalogReader reader(server);
    if (!networkRegistryExists(reader))
        return false;
    return !reader
                .select(QStringLiteral("select id from master.dbo.CHdatebase where ztmc = ") +
                            db::unicodeLiteral(name),
                        {QStringLiteral("id")})
                .empty();
}

} // namespace

Adoption adoptAccountSet(PageQueries& queries, const Environment& env,
                         const NewAccountSet& accountSet) {
    Adoption adoption;
    if (const auto problem = inputProblem(accountSet)) {
        tell(env, *problem);
        adoption.outcome = AdoptOutcome::RefusedInput;
        return adoption;
    }
    NewAccountSet adopted = accountSet;
    adopted.name = core::trimmedText(accountSet.name);
    const QString credentialPart = readCredentialPart(queries, env, adopted.serverName);
    const ServerTarget server{adopted.serverName, credentialPart};
    Verification verification;
    try {
        verification = verifyAccountSet(server, adopted.name);
    } catch (const db::DbError& failure) {
        if (failure.source() != db::ErrorSource::DataLayer)
            throw;
        tell(env, QStringLiteral("服务器上没有名为【%1】的数据库。").arg(adopted.name));
        return adoption;
    }
    if (!verification.matches()) {
        adoption.outcome = AdoptOutcome::Incomplete;
        adoption.differences = verification.differenceCount();
        tell(env, QStringLiteral("帐套【%1】与定义不符（%2 处不同），不能登记：请先运行"
                                 "“zt-admin verify”查看，用“zt-admin repair”修复。")
                      .arg(adopted.name)
                      .arg(adoption.differences));
        return adoption;
    }

    db::Query& local = queries.localRegistrations;
    local.setConnectionString(env.localConnectionString);
    const bool here =
        config::isAccountSetRegistered(local, adopted.name, core::trimmedText(adopted.serverName));
    local.close();
    const bool network = onNetwork(server, adopted.name);
    const bool networkWanted = adopted.network && !network;
    if (here && !networkWanted) {
        adoption.outcome = AdoptOutcome::AlreadyRegistered;
        tell(env, QStringLiteral("帐套【%1】已经登记，无需再登记。").arg(adopted.name));
        return adoption;
    }
    bool networkFailed = false;
    if (!here) {
        // With the network row wanted, both go as a creation records them; otherwise the
        // local row says what the network registry already holds.
        adopted.network = networkWanted;
        if (networkWanted) {
            networkFailed = !recordAccountSet(queries, env, adopted, credentialPart);
        } else {
            config::AccountSetRegistration row{adopted.name, env.today(),
                                               core::trimmedText(adopted.password),
                                               core::trimmedText(adopted.serverName), network};
            config::registerAccountSet(local, row);
        }
        adoption.recordedLocally = true;
    } else {
        networkFailed = !registerOnNetwork(queries, env, adopted, credentialPart).has_value();
    }
    adoption.recordedOnNetwork = networkWanted && !networkFailed;
    adoption.outcome = networkFailed ? AdoptOutcome::AdoptedWithoutNetwork : AdoptOutcome::Adopted;
    tell(env, QStringLiteral("帐套【%1】已登记。").arg(adopted.name));
    return adoption;
}

} // namespace zt::accountset
