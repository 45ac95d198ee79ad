#include "app/Resources.h"

#include <QtGlobal>

#include <mutex>

// Q_INIT_RESOURCE expands to a call of a global function, which must be made
// from outside any namespace.
static void initResourcesOnce() { Q_INIT_RESOURCE(resources); }

namespace Resources {

void init()
{
    static std::once_flag once;
    std::call_once(once, initResourcesOnce);
}

}
