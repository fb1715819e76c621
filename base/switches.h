// The switches of this run (/S, /D=, /LOG=, ...) and Tell, the one way a
// message reaches the user; the log itself is base/log.h. A leaf of the base
// layer: every layer (package, config, lang, pages, finish) and the
// uninstaller may ask "is this run silent?" here without pointing an include
// upwards. A silent run never shows a box: whatever would have been shown
// goes to the log.
#ifndef BRONDALE_BASE_SWITCHES_H
#define BRONDALE_BASE_SWITCHES_H

#include "base/log.h"
#include "platform/win32api.h"

struct Switches {
    bool silent;                 // /S
    bool help;                   // /?
    bool noDesktop;              // /NODESKTOP
    bool noStartMenu;            // /NOSTARTMENU
    bool noInfo;                 // /NOINFO
    bool noRun;                  // /NORUN
    bool run;                    // /RUN
    bool allUsers;               // /ALLUSERS: an installation for every user of the machine
    bool currentUser;            // /CURRENTUSER: an installation for the user who runs it
    bool channel;                // /CHANNEL=process.handle: this run is the elevated half
    unsigned long channelProcess;  // the user's half's process id
    unsigned long channelHandle;   // the value of its pipe's write end, in that process
    bool allowDowngrade;         // /ALLOWDOWNGRADE
    bool badDestination;         // /D= with nothing, or more than a path holds
    char destination[MAX_PATH];  // /D=, "" when not given
    char language[32];           // /LANG=, "" when not given
    char log[MAX_PATH];          // /LOG=, "" when not given
    char unknown[64];            // the first argument not understood, "" when none
};

// Parses the arguments of a command line (the program's name already left
// out) into *out, which is cleared first. Switches start with / or -, their
// names are compared without regard to case; blanks separate them and
// double quotes group blanks into one (the quotes are dropped). /D= takes
// the rest of the line, blanks included; one pair of enclosing quotes is
// removed, trailing blanks and backslashes (but for a drive's root) are cut.
// /CHANNEL= takes two decimal numbers joined by a dot; the user's half
// gives it to the elevated half it starts (both programs know it). The
// uninstaller (installer false) knows only /S, /LOG=, /CHANNEL= and /?. Returns
// false, with the offending argument in out->unknown, when an argument is
// not a switch of this program, lacks its value or has a value too long for
// it.
bool ParseSwitches(const char* arguments, bool installer, Switches* out);

// What differs between the two programs that take switches.
struct SwitchProgram {
    bool installer;     // the installer's switches; else the uninstaller's /S, /LOG=, /CHANNEL= and /?
    const char* role;   // "installer" or "uninstaller": the log's first line names it
    const char* usage;  // the list of switches that /? shows, and an unknown switch after its name
    int usageExit;      // the exit code when an argument is not a switch
};

// Takes the command line of the run: parses arguments (after the program's
// name) into RunSwitches() and opens the log that /LOG= names, starting it
// with the program's path and the arguments. Returns true when the run ends
// here, with *exitCode: /? shows the usage (0); an argument that is not a
// switch is reported with the usage (program.usageExit), in a box unless
// the run is silent. Without arguments nothing happens at all. The caller
// logs the exit code and closes the log.
bool TakeCommandLine(const char* arguments, const SwitchProgram& program, int* exitCode);

// The switches of this run; all clear until the entry point parses them.
Switches* RunSwitches();
// True in a silent run (/S).
bool Unattended();

// Whether the options page's box (300 desktop shortcuts, 301 Start-menu
// shortcuts, 302 information file, 303 programs to run) starts unticked
// because of a /NO... switch.
bool SwitchUnticks(int box);
// Whether a silent run takes box's choice: the shortcuts unless /NODESKTOP
// or /NOSTARTMENU; the information file and the programs to run only with
// /RUN, and not with /NOINFO or /NORUN.
bool SilentChoice(int box);

// Shows text in a message box (no owner, caption and type as MessageBoxA)
// and returns the answer; in a silent run shows nothing and returns
// silentAnswer. Whenever a log is open the text and the answer go to it.
int Tell(const char* text, const char* caption, UINT type, int silentAnswer);

#endif
