#include "resources/resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE has to be used outside any namespace; the resources live in a static
// library, so something must name them for the linker to keep them.
static void registerCompiledResources() {
    Q_INIT_RESOURCE(zhangtao);
}

namespace zt {

void initResources() {
    registerCompiledResources();
}

} // namespace zt
