// The choice of launch route; no system calls, so both builds test it.
#include "finish/launchas.h"

LaunchRoute ChooseLaunchRoute(int elevation, bool isSystem, bool desktopShellFound) {
    if (elevation != kElevationFull || isSystem || !desktopShellFound)
        return kLaunchDirect;
    return kLaunchAsDesktopUser;
}
