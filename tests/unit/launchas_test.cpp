// The choice between starting a program directly and having the logged-on
// user's desktop shell start it. Under Wine every process, the shell too,
// reports the elevated half of a split token, so only this table shows the
// second route.
#include <gtest/gtest.h>

#include "finish/launchas.h"

TEST(LaunchAs, OnlyAnElevatedSplitTokenGoesThroughTheDesktopShell) {
    const int kNoShell = 0;
    struct Row {
        int elevation;
        bool isSystem;
        int shell;  // the desktop shell's elevation
        LaunchRoute route;
    } rows[] = {
        {kElevationFull, false, kElevationLimited, kLaunchAsDesktopUser},
        {kElevationFull, false, kNoShell, kLaunchDirect},
        {kElevationFull, false, kElevationFull, kLaunchDirect},     // as Wine has it: nothing to gain
        {kElevationFull, false, kElevationDefault, kLaunchDirect},  // a shell of no split token
        {kElevationFull, true, kElevationLimited, kLaunchDirect},   // SYSTEM: the shell is no user of ours
        {kElevationFull, true, kNoShell, kLaunchDirect},
        {kElevationDefault, false, kElevationLimited, kLaunchDirect},  // no split token (UAC off)
        {kElevationDefault, true, kNoShell, kLaunchDirect},
        {kElevationDefault, false, kNoShell, kLaunchDirect},
        {kElevationLimited, false, kElevationLimited, kLaunchDirect},  // already the user's rights
        {0, false, kElevationLimited, kLaunchDirect},                  // the token could not be read
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.route, ChooseLaunchRoute(r.elevation, r.isSystem, r.shell))
            << "elevation " << r.elevation << " system " << r.isSystem << " shell " << r.shell;
}
