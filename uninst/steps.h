// The uninstaller's steps, in the order it takes them: the programs of
// [RunU], the shortcuts, the registry values, the installed files
// (uninst/removal.h). Each step adds to one outcome what it could not
// remove.
#ifndef BRONDALE_UNINST_STEPS_H
#define BRONDALE_UNINST_STEPS_H

#include <string>
#include <vector>

#include "uninst/record.h"

struct Outcome {
    std::vector<std::string> failed;  // could not be removed (in use, read-only, ...)
    std::vector<std::string> kept;    // files the user changed or added
    bool folderKept = false;          // the destination folder is not empty
};

// Starts each program (relative to destination) in turn with CreateProcess,
// in its own folder, and waits for it to end. Only programs (.exe, see
// trust/program.h) inside the destination folder are started; every other
// entry is logged and passed over.
void RunFirst(const std::string& destination, const std::vector<std::string>& programs);

// Deletes the record's shortcut files that are the product's own (a .lnk
// file in the common desktop or in the product's folder of the common
// Start-menu programs, see IsOwnShortcut; the user's own desktop and Start
// menu for an installation for one user), then the folders below those
// Start-menu programs that this leaves empty.
void RemoveShortcuts(const UninstallRecord& record, Outcome* outcome, InstallScope scope = kScopeMachine);

// Deletes each recorded value; then each key that the deletion left without
// values and subkeys, walking up, but never a key directly under a root.
void RemoveValues(const UninstallRecord& record, Outcome* outcome);

// Deletes the product's Uninstall key with everything below it: the last
// step, taken only when everything else is gone, so that the list of
// installed programs keeps starting the uninstaller until then.
// Its root is the scope's (HKEY_CURRENT_USER for one user).
void RemoveEntry(const UninstallRecord& record, Outcome* outcome, InstallScope scope = kScopeMachine);

// Names every file still below destination, except in the uninstaller's own
// folder, as kept (unless it is already named as failed), and decides
// whether the destination folder stays: it does when it holds anything but
// the uninstaller's folder, or when that folder stays too.
void ListLeftovers(const std::string& destination, const std::string& uninstallFolder, bool uninstallerStays,
                   Outcome* outcome);

#endif
