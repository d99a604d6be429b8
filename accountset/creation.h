#pragma once
// Creating a new account set: "创建新帐套&A".

#include "accountset/operations.h"

#include <optional>

namespace zt::accountset {

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

} // namespace zt::accountset
