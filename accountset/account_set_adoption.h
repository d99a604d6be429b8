#pragma once
// Registering an account set that exists on the server but not (or not fully) in the
// registries, as a creation cut off after its last step on the server leaves it: the
// account set is checked as verify checks it, then recorded on this workstation and, when
// asked, in the network registry.

#include "accountset/operations.h"

namespace zt::accountset {

enum class AdoptOutcome {
    Adopted,
    AdoptedWithoutNetwork, // recorded here; the network registration failed (notice shown)
    RefusedInput,          // a check refused the server name, the name or the password
    NotFound,
    Incomplete,        // differs from the definitions: repair it first
    AlreadyRegistered, // nothing was missing
};

struct Adoption {
    AdoptOutcome outcome = AdoptOutcome::NotFound;
    bool recordedLocally = false;
    bool recordedOnNetwork = false;
    int differences = 0; // Incomplete: how many
};

// Checks the inputs, verifies the account set, then adds what is missing: the row of
// 帐套信息表 for this server, and with accountSet.network the row of master.CHdatebase.
// Messages go through the dialog seam. Throws db::DbError when the server or the local
// configuration database fails.
Adoption adoptAccountSet(PageQueries& queries, const Environment& env,
                         const NewAccountSet& accountSet);

} // namespace zt::accountset
