#include "util/Resources.h"

#include <QtGlobal>

#include <mutex>

void initVeltraneResources()
{
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(resources); });
}
