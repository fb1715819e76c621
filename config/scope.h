// Whom an installation is for: the product's Scope (init.cfg [product]
// Scope) and the switches /ALLUSERS and /CURRENTUSER that pick one. Nothing
// here calls the system, so both builds test it.
#ifndef BRONDALE_CONFIG_SCOPE_H
#define BRONDALE_CONFIG_SCOPE_H

// The product's Scope, as the vendor wrote it.
enum ScopeSetting {
    kSettingMachine,  // "machine", or no Scope at all: for every user, as the installer always did
    kSettingUser,     // "user": only for the user who runs it
    kSettingChoose,   // "choose": either, by switch or by asking
    kSettingUnknown,  // anything else (lint refuses it); installed as machine
};
// value compared without regard to case; "" is machine.
ScopeSetting ParseScopeSetting(const char* value);
// init.cfg's Scope (the Install folder of scratch key 9).
ScopeSetting ProductScope();

// What the setting and the switches make of this run.
enum ScopeDecision {
    kDecidedMachine,    // for every user
    kDecidedUser,       // for the user who runs it
    kDecideByAsking,    // "choose" without a switch, interactive: the question before the wizard
    kScopeSwitchRefused,  // a switch the product does not take: a usage error, nothing is done
};
// /ALLUSERS and /CURRENTUSER pick one where the product lets the user
// choose; /CURRENTUSER is also taken by a product for one user; any other
// use of them, both at once included, is refused. "choose" without a
// switch asks in an interactive run and installs for every user in a silent
// one.
ScopeDecision DecideScope(ScopeSetting setting, bool allUsers, bool currentUser, bool silent);

#endif
