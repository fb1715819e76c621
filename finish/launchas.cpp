// The choice of launch route; no system calls, so both builds test it.
#include "finish/launchas.h"

DesktopShell CompareShell(bool shellFound, bool shellRead, bool sameUser, int shellElevation, int elevation) {
    if (!shellFound)
        return kShellMissing;
    // A shell whose token cannot be read is no proof of rights of its own:
    // it is taken as another user's, whose shell opens what it opens.
    if (!shellRead || !sameUser)
        return kShellOtherUser;
    if (shellElevation == kElevationLimited && elevation != kElevationLimited)
        return kShellUnelevatedHalf;
    return kShellSameRights;
}

bool RunIsElevated(const LaunchSituation& situation) {
    return situation.isSystem || (situation.elevation != kElevationDefault && situation.elevation != kElevationLimited);
}

LaunchRoute ChooseLaunchRoute(const LaunchSituation& situation, LaunchKind kind, bool program) {
    // A deployment's run as SYSTEM: no desktop of a user to hand anything
    // to; what the vendor always starts is started, documents never.
    if (situation.isSystem && situation.silent)
        return kind == kLaunchAlways && program ? kLaunchProcess : kLaunchNot;
    if (situation.shell == kShellOtherUser || situation.shell == kShellUnelevatedHalf)
        return kLaunchThroughShell;
    if (!RunIsElevated(situation))
        return kLaunchDirect;
    // The desktop's shell has these rights already (UAC off, the built-in
    // Administrator): whatever is started here gets no more than the user at
    // the desk has, and a document opens in the handler that user's own
    // registrations name, as it would from the desktop. A program still
    // starts itself, never through a handler.
    if (situation.shell == kShellSameRights)
        return program ? kLaunchProcess : kLaunchDirect;
    return kLaunchNot;
}
