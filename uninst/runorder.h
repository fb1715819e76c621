// The order of a removal's run, so that one that is killed or meets another
// run of the same product can be told and finished by the next: the locks
// and the recovery of what a stopped run left, first; a journal while it
// removes; the record, then the product's Uninstall key, last.
#ifndef BRONDALE_UNINST_RUNORDER_H
#define BRONDALE_UNINST_RUNORDER_H

#include <string>

#include "base/installed.h"
#include "uninst/record.h"
#include "uninst/steps.h"

enum RemovalStart {
    kRemovalGoesOn,       // the locks are this run's and nothing was left: remove as the record says
    kRemovalFinished,     // a stopped removal was finished: the product is gone, the record with it
    kRemovalAnotherRun,   // another run of the product or of this folder holds its lock
    kRemovalNotRecovered, // what a stopped run left here could not be finished or taken back (logged)
};

// Removes the scratch folders of dead runs from the temporary folder, takes
// the lock of the product's key productKey (as the record names it; ""
// takes none) and of destination for a run of scope, and finishes or takes
// back what a run that did not end left in destination (package/recovery.h).
// self is this program, which the recovery never deletes.
RemovalStart StartRemovalRun(InstallScope scope, const std::string& productKey, const std::string& destination,
                             const std::string& self);

// The removal's journal, begun before anything is removed. False (logged):
// nothing may be removed.
bool BeginRemovalJournal(const std::string& destination, const std::string& productKey);

// The end of a removal whose files have all gone: the journal is marked, the
// record and the file list are deleted, then the product's key. What could
// not be removed joins outcome. With anything failed before, the journal
// ends here and the record stays to be run again. Once marked, the journal
// stays until the cleanup deletes it after this program, so a run stopped in
// between is finished by the next (package/recovery.h).
void RemoveRecordThenEntry(const UninstallRecord& record, const std::string& uninstallFolder, InstallScope scope,
                           Outcome* outcome);

#endif
