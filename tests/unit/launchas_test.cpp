// Whose rights what the installer opens at the end gets: the route of each
// file for each kind of run, and which files count as programs. Under Wine
// there is no desktop shell and every process reports the elevated half of
// a split token, so only this table shows the shell routes and the run as
// SYSTEM; the end-to-end cases show the rest.
#include <gtest/gtest.h>

#include "finish/launchas.h"
#include "trust/program.h"

namespace {

const char* Name(LaunchRoute route) {
    switch (route) {
    case kLaunchNot:
        return "not opened";
    case kLaunchDirect:
        return "ShellExecute here";
    case kLaunchThroughShell:
        return "through the desktop shell";
    case kLaunchProcess:
        return "CreateProcess";
    }
    return "?";
}

} // namespace

TEST(LaunchAs, TheDesktopShellIsComparedWithThisToken) {
    struct Row {
        bool found, read, sameUser;
        int shell, own;
        DesktopShell expected;
    } rows[] = {
        {false, false, false, 0, kElevationFull, kShellMissing},
        {true, false, false, 0, kElevationFull, kShellOtherUser},  // a token that cannot be read proves nothing
        {true, true, false, kElevationLimited, kElevationFull, kShellOtherUser},  // over the shoulder
        {true, true, false, kElevationFull, kElevationFull, kShellOtherUser},
        {true, true, true, kElevationLimited, kElevationFull, kShellUnelevatedHalf},
        {true, true, true, kElevationLimited, 0, kShellUnelevatedHalf},
        {true, true, true, kElevationFull, kElevationFull, kShellSameRights},  // as Wine has it
        {true, true, true, kElevationDefault, kElevationDefault, kShellSameRights},  // UAC off
        {true, true, true, kElevationLimited, kElevationLimited, kShellSameRights},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.expected, CompareShell(r.found, r.read, r.sameUser, r.shell, r.own))
            << "found " << r.found << " read " << r.read << " same user " << r.sameUser << " shell " << r.shell
            << " own " << r.own;
}

TEST(LaunchAs, AnElevatedRunNeverHandsItsRightsOn) {
    const bool kProgram = true, kDocument = false;
    const LaunchSituation split = {kElevationFull, false, false, kShellUnelevatedHalf};
    const LaunchSituation shoulder = {kElevationFull, false, false, kShellOtherUser};
    const LaunchSituation noShell = {kElevationFull, false, false, kShellMissing};
    const LaunchSituation systemSilent = {kElevationDefault, true, true, kShellMissing};
    const LaunchSituation systemSilentUser = {kElevationDefault, true, true, kShellOtherUser};
    const LaunchSituation systemAtDesk = {kElevationDefault, true, false, kShellOtherUser};
    const LaunchSituation systemNoShell = {kElevationDefault, true, false, kShellMissing};
    const LaunchSituation sameRights = {kElevationFull, false, false, kShellSameRights};
    const LaunchSituation silentSameRights = {kElevationFull, false, true, kShellSameRights};
    const LaunchSituation silentSplit = {kElevationFull, false, true, kShellUnelevatedHalf};
    const LaunchSituation silentNoShell = {kElevationFull, false, true, kShellMissing};
    const LaunchSituation unknown = {0, false, false, kShellMissing};
    const LaunchSituation plainUser = {kElevationDefault, false, false, kShellSameRights};
    const LaunchSituation uacOffNoShell = {kElevationDefault, false, true, kShellMissing};
    struct Row {
        const char* label;
        LaunchSituation situation;
        LaunchKind kind;
        bool program;
        LaunchRoute route;
    } rows[] = {
        {"split token, unelevated shell: program", split, kLaunchAlways, kProgram, kLaunchThroughShell},
        {"split token, unelevated shell: information file", split, kLaunchInformation, kDocument, kLaunchThroughShell},
        {"split token, unelevated shell: chosen document", split, kLaunchChosen, kDocument, kLaunchThroughShell},
        {"over the shoulder: program", shoulder, kLaunchAlways, kProgram, kLaunchThroughShell},
        {"over the shoulder: information file", shoulder, kLaunchInformation, kDocument, kLaunchThroughShell},
        {"shell missing: program", noShell, kLaunchAlways, kProgram, kLaunchNot},
        {"shell missing: chosen program", noShell, kLaunchChosen, kProgram, kLaunchNot},
        {"shell missing: information file", noShell, kLaunchInformation, kDocument, kLaunchNot},
        {"SYSTEM silent: always-started program", systemSilent, kLaunchAlways, kProgram, kLaunchProcess},
        {"SYSTEM silent: always-started document", systemSilent, kLaunchAlways, kDocument, kLaunchNot},
        {"SYSTEM silent: chosen program (/RUN)", systemSilent, kLaunchChosen, kProgram, kLaunchNot},
        {"SYSTEM silent: information file (/RUN)", systemSilent, kLaunchInformation, kDocument, kLaunchNot},
        {"SYSTEM silent: information file that is a program", systemSilent, kLaunchInformation, kProgram, kLaunchNot},
        {"SYSTEM silent with a user logged on: program", systemSilentUser, kLaunchAlways, kProgram, kLaunchProcess},
        {"SYSTEM silent with a user logged on: document", systemSilentUser, kLaunchAlways, kDocument, kLaunchNot},
        {"SYSTEM at a user's desk: document", systemAtDesk, kLaunchInformation, kDocument, kLaunchThroughShell},
        {"SYSTEM, no shell: program", systemNoShell, kLaunchAlways, kProgram, kLaunchNot},
        {"shell with these rights: program", sameRights, kLaunchAlways, kProgram, kLaunchProcess},
        {"shell with these rights: information file", sameRights, kLaunchInformation, kDocument, kLaunchDirect},
        {"shell with these rights: chosen document", sameRights, kLaunchChosen, kDocument, kLaunchDirect},
        {"shell with these rights: always-opened document", sameRights, kLaunchAlways, kDocument, kLaunchDirect},
        {"shell with these rights: information file that is a program", sameRights, kLaunchInformation, kProgram,
         kLaunchProcess},
        {"silent, shell with these rights: document", silentSameRights, kLaunchChosen, kDocument, kLaunchDirect},
        {"silent, split token: document", silentSplit, kLaunchChosen, kDocument, kLaunchThroughShell},
        {"silent, elevated, no shell: program", silentNoShell, kLaunchAlways, kProgram, kLaunchNot},
        {"token unreadable: program", unknown, kLaunchAlways, kProgram, kLaunchNot},
        {"no elevation: document", plainUser, kLaunchInformation, kDocument, kLaunchDirect},
        {"no elevation: program", plainUser, kLaunchChosen, kProgram, kLaunchDirect},
        {"no elevation, no shell, silent: program", uacOffNoShell, kLaunchAlways, kProgram, kLaunchDirect},
    };
    for (const Row& r : rows)
        EXPECT_STREQ(Name(r.route), Name(ChooseLaunchRoute(r.situation, r.kind, r.program))) << r.label;
}

TEST(LaunchAs, OnlyExeFilesArePrograms) {
    struct Row {
        const char* path;
        bool program;
    } rows[] = {
        {"app.exe", true},
        {"C:\\Program Files\\P\\APP.EXE", true},
        {"bin\\tool.Exe", true},
        {"readme.txt", false},
        {"app.com", false},
        {"setup.bat", false},
        {"app.exe.txt", false},
        {".exe", false},
        {"bin\\.exe", false},
        {"app.exe.", false},  // Windows would drop the dot and run app.exe: not ours to guess
        {"app.exe ", false},
        {"exe", false},
        {"", false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.program, IsProgramPath(r.path)) << "\"" << r.path << "\"";
}
