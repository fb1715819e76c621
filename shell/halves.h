// The run's halves and whom it installs for (Windows only). A run for every
// user that starts with a user's rights is the user's half: it reads the
// package's start for the product's Scope, starts the elevated half
// (trust/channel.h), waits for it and then starts, with its own rights,
// what the elevated half's report names. The elevated half, and a run that
// installs in one process (already elevated, SYSTEM, for one user), read
// the Scope themselves.
#ifndef BRONDALE_SHELL_HALVES_H
#define BRONDALE_SHELL_HALVES_H

#include "package/state.h"

// Finds the package in the installer's own file and extracts the Lang and
// Install sections below the scratch folder (keys 8 and 9), reporting
// nothing: the section result, kSectionDamaged when there is no package.
SectionResult ReadInstallSections();

// What a run makes of the product's Scope and its switches.
enum ScopeVerdict {
    kScopeChosen,     // *RunScope() holds it
    kScopeRefused,    // a scope switch the product does not take: reported, exit code 2
    kScopeCancelled,  // the question was answered Cancel
};
// Decides whom this run installs for from init.cfg's Scope (the Install
// folder of key 9) and /ALLUSERS or /CURRENTUSER, asking in an interactive
// run when the product lets the user choose (text 40, in the language that
// key 8 names). A decision taken before in this run stands. *asked tells
// whether a "choose" product's answer came from the question or the default.
ScopeVerdict DecideRunScope(bool* chosenWithoutSwitch = nullptr);

// The user's half. True when this run was one: the elevated half it
// started has ended (or could not be started), what it reported has been
// started, and *exitCode is the run's exit code, already logged. False when
// this run installs itself: it is the elevated half, or needs no elevation
// (its token, or an installation for one user, with the scope then decided).
bool RunAsUserHalf(const char* arguments, int* exitCode);

// The interactive run in one process: decides the scope before the first
// page, from the package read into a scratch folder that is removed again
// (the language page makes its own). False, with *exitCode, when the run
// ends here. A package that cannot be read decides nothing: the pages
// report it.
bool ScopeBeforeWizard(int* exitCode);

// The elevated half: opens the channel of /CHANNEL=, after which the
// finish writes what it would start into the report. Without /CHANNEL=, or
// when the channel cannot be opened, nothing changes (the run then starts
// what it may itself, as a run without a user's half).
void JoinUserHalf();
// Sends the report with the run's exit code, once, when the channel is open.
void AnswerUserHalf(int exitCode);

#endif
