// The choice between starting a program directly and having the logged-on
// user's desktop shell start it. Wine has no split token, so only this table
// shows the second route.
#include <gtest/gtest.h>

#include "finish/launchas.h"

TEST(LaunchAs, OnlyAnElevatedSplitTokenGoesThroughTheDesktopShell) {
    struct Row {
        int elevation;
        bool isSystem, shellFound;
        LaunchRoute route;
    } rows[] = {
        {kElevationFull, false, true, kLaunchAsDesktopUser},
        {kElevationFull, false, false, kLaunchDirect},  // no desktop shell
        {kElevationFull, true, true, kLaunchDirect},    // SYSTEM's own rights are the installer's
        {kElevationFull, true, false, kLaunchDirect},
        {kElevationDefault, false, true, kLaunchDirect},  // no split token (Wine, UAC off)
        {kElevationDefault, true, true, kLaunchDirect},
        {kElevationDefault, false, false, kLaunchDirect},
        {kElevationLimited, false, true, kLaunchDirect},  // already the user's rights
        {0, false, true, kLaunchDirect},                  // the token could not be read
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.route, ChooseLaunchRoute(r.elevation, r.isSystem, r.shellFound))
            << "elevation " << r.elevation << " system " << r.isSystem << " shell " << r.shellFound;
}
