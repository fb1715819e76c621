// The choice of launch route; no system calls, so both builds test it.
#include "finish/launchas.h"

LaunchRoute ChooseLaunchRoute(int elevation, bool isSystem, int shellElevation) {
    if (elevation != kElevationFull || isSystem || shellElevation != kElevationLimited)
        return kLaunchDirect;
    return kLaunchAsDesktopUser;
}
