// A removal's run in an order that a kill at any moment leaves recoverable.
#include "uninst/runorder.h"

#include <windows.h>

#include "base/log.h"
#include "package/journal.h"
#include "package/journalformat.h"
#include "package/recovery.h"
#include "package/startrun.h"
#include "trust/codepage.h"
#include "trust/leftovers.h"
#include "trust/runlock.h"

namespace {

// The product's lock, taken before the destination's as an installer takes
// them, so that two runs never wait for each other's second lock.
bool TakeProductLock(InstallScope scope, const std::string& productKey) {
    if (productKey.empty())
        return true;
    char name[2 * MAX_PATH];
    return ProductLockName(UninstallRoot(scope), productKey.c_str(), name, sizeof name) &&
           TakeRunLock(kProductLock, name, kRunLockWaitMs, scope == kScopeMachine) == kLockTaken;
}

}  // namespace

RemovalStart StartRemovalRun(InstallScope scope, const std::string& productKey, const std::string& destination,
                             const std::string& self) {
    char temp[MAX_PATH];
    if (UsableTempFolder(temp, sizeof temp) != kTempNone)
        RemoveDeadScratchFolders(temp);
    if (!TakeProductLock(scope, productKey) || LockDestination(scope, destination.c_str()) != kRunStarted)
        return kRemovalAnotherRun;
    RecoveryReport report = RecoverDestination(destination.c_str(), self.c_str());
    if (report.verdict == kRecoveryIncomplete || report.verdict == kRecoveryRefused)
        return kRemovalNotRecovered;
    return report.verdict == kRecoveryDone && report.removed ? kRemovalFinished : kRemovalGoesOn;
}

bool BeginRemovalJournal(const std::string& destination, const std::string& productKey) {
    return JournalBegin(destination.c_str(), productKey.c_str(), kJournalRemoval);
}

void RemoveRecordThenEntry(const UninstallRecord& record, const std::string& uninstallFolder, InstallScope scope,
                           Outcome* outcome) {
    if (!outcome->failed.empty() || !JournalMark(kJournalRecordMark)) {
        // Nothing of the record has gone: the next run works from it again.
        if (outcome->failed.empty())
            outcome->failed.push_back(uninstallFolder + "\\" + kJournalFile);
        JournalEnd();
        return;
    }
    for (const char* name : {kRecordFile, kFileListFile}) {
        std::string path = uninstallFolder + "\\" + name;
        if (!DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
            LogLine("record file %s: not deleted (error %lu)", path.c_str(), GetLastError());
            outcome->failed.push_back(path);
        }
    }
    if (outcome->failed.empty())
        RemoveEntry(record, outcome, scope);
}
