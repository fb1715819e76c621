// Finishing what a run left in a destination when it did not end: its
// journal (package/journalformat.h) names what it was doing. An installation
// whose commit had begun is finished (its kept copies go); any other is
// taken back: each file it created is deleted while it is still that file,
// each kept copy goes back under its name when that name is free or holds
// this run's file, each registry value it changed gets its earlier value,
// and the folders it made go when empty. A removal whose record had begun to
// go is finished. The caller holds the locks of the product and the
// destination, so the journal's run is no longer alive.
#ifndef BRONDALE_PACKAGE_RECOVERY_H
#define BRONDALE_PACKAGE_RECOVERY_H

#include "platform/win32api.h"

enum RecoveryVerdict {
    kRecoveryNone,        // no journal: nothing was left
    kRecoveryDone,        // finished or taken back; the journal is gone
    kRecoveryIncomplete,  // something could not be done (logged); the journal stays for the next run
    kRecoveryRefused,     // a journal that cannot be read or trusted: left as it is, nothing done
};

struct RecoveryReport {
    RecoveryVerdict verdict;
    char kind;             // the journal's kind (kJournalInstall, kJournalRemoval), 0 without one
    bool committed;        // an installation whose commit had begun: finished rather than taken back
    bool removed;          // a removal that had reached its record: the product is gone
    unsigned long files;   // files deleted
    unsigned long kept;    // kept copies put back (or, committed, deleted)
    unsigned long values;  // registry values and keys given back
    unsigned long folders; // folders removed
};

// Looks for a journal in destination\UnInstall and finishes or takes back
// its run, as above; logs what it did. A journal is followed only when it is
// one plain file in a record folder that only administrators can change
// (trust/folder.h), names this destination, and every path in it lies below
// the destination; otherwise kRecoveryRefused. spare, when given, is a file
// this process runs from: it is never deleted, and a kept copy waiting for
// its name is dropped instead.
RecoveryReport RecoverDestination(const char* destination, const char* spare);

// The same for this run's own journal (package/journal.h), closed by the
// caller: taken back without the folder's trust being asked, since this run
// wrote it and holds the folder.
RecoveryReport TakeBackJournal(const char* destination, const char* spare);

#endif
