#pragma once
// Restoring the sample account set: "创建例子帐套&S".

#include "accountset/operations.h"

#include <functional>
#include <optional>

namespace zt::accountset {

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

} // namespace zt::accountset
