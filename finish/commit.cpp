// The commit, in its one order: mark, kept copies, journal.
#include "finish/commit.h"

#include "base/switches.h"
#include "package/journal.h"
#include "package/record.h"

void CommitInstallation() {
    if (JournalMark(kJournalCommitMark)) {
        WrittenCommit();
    } else {
        LogLine("commit: the journal cannot be written; the kept copies of the replaced files stay");
        WrittenReset();
    }
    JournalEnd();
}
