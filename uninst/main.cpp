// UnInst.exe: removes a product that Brondale installed. It lives in
// DEST\UnInstall beside the record UnInst.cfg, obeys the record only while
// it is the one the installer sealed, asks once, then takes away what the
// record and the file list name, and last removes itself. A product for
// every user is removed by an elevated half that a run with a user's rights
// starts, as the installer does (trust/channel.h); a product for one user,
// whose key lies under that user's HKEY_CURRENT_USER, by that user's run.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "base/format.h"
#include "base/installed.h"
#include "base/switches.h"
#include "uninst/cleanup.h"
#include "uninst/quiet.h"
#include "uninst/record.h"
#include "uninst/recordtext.h"
#include "uninst/removal.h"
#include "uninst/runorder.h"
#include "uninst/steps.h"
#include "uninst/texts.h"
#include "trust/channel.h"
#include "trust/dllsearch.h"
#include "trust/held.h"

namespace {

// Exit codes.
const int kRemoved = 0;
const int kCancelled = 1;
const int kNoRecord = 2;
const int kSomethingStayed = 3;
const int kNotTrusted = 6;
const int kNotRegistered = 7;
const int kAnotherRun = 8;

std::string Parent(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// This program's own path; "" when it cannot be had.
std::string OwnPath() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    return n > 0 && n < sizeof self ? self : "";
}

// The folder of this program, DEST\UnInstall; "" when its name cannot be had.
std::string OwnFolder() { return Parent(OwnPath()); }

// The elevated half's channel to its user's half (INVALID_HANDLE_VALUE
// without one).
HANDLE* Channel() {
    static HANDLE channel = INVALID_HANDLE_VALUE;
    return &channel;
}

// A heading and its paths; long lists are cut so the box fits the screen.
void AddList(std::string* message, UninstallText heading, const std::vector<std::string>& paths) {
    if (paths.empty())
        return;
    const size_t kShown = 20;
    *message += "\r\n\r\n" + Text(heading);
    for (size_t i = 0; i < paths.size() && i < kShown; ++i)
        *message += "\r\n" + paths[i];
    if (paths.size() > kShown)
        *message += "\r\n... (" + std::to_string(paths.size() - kShown) + ")";
}

// Every message of the uninstaller goes through here; a silent removal logs
// it and takes silentAnswer instead.
int Say(const std::string& text, const std::string& caption, UINT style, int silentAnswer = IDOK) {
    return Tell(text.c_str(), caption.c_str(), style, silentAnswer);
}

std::string FinalMessage(const Outcome& outcome, const std::string& destination) {
    std::string message = Text(kTextDone);
    AddList(&message, kTextFailed, outcome.failed);
    AddList(&message, kTextKept, outcome.kept);
    if (outcome.folderKept)
        AddList(&message, kTextFolder, {destination});
    if (!outcome.failed.empty())
        message += "\r\n\r\n" + Text(kTextAgain);
    return message;
}

// The record and the file list as this run reads them: copies in a private
// folder held for the whole run, each read once into memory. Their digests
// are taken of those bytes and the record and the list are read from the
// same bytes, so nothing can change them between the check and their use.
struct PrivateRecord {
    std::string folder, record, list;
    HANDLE held = INVALID_HANDLE_VALUE;
    std::string recordBytes, listBytes;
    bool hasList = false;
};

// A copy made in the held folder, read whole. False when it is missing,
// not a plain file, or larger than any record or list the installer writes.
bool ReadCopy(const std::string& path, std::string* bytes) {
    const DWORD kLargest = 64u << 20;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD high = 0;
    DWORD size = GetFileSize(h, &high);
    bool ok = size != INVALID_FILE_SIZE && high == 0 && size <= kLargest;
    if (ok) {
        bytes->resize(size);
        DWORD got = 0;
        ok = size == 0 || (ReadFile(h, &(*bytes)[0], size, &got, nullptr) && got == size);
    }
    CloseHandle(h);
    return ok;
}

bool CopyRecord(const std::string& uninstallFolder, PrivateRecord* copy) {
    if (!CreatePrivateFolder(&copy->folder, &copy->held))
        return false;
    copy->record = copy->folder + "\\" + kRecordFile;
    copy->list = copy->folder + "\\" + kFileListFile;
    // A missing list stays missing here, and so has no digest.
    copy->hasList = CopyFileA((uninstallFolder + "\\" + kFileListFile).c_str(), copy->list.c_str(), TRUE) &&
                    ReadCopy(copy->list, &copy->listBytes);
    return CopyFileA((uninstallFolder + "\\" + kRecordFile).c_str(), copy->record.c_str(), TRUE) &&
           ReadCopy(copy->record, &copy->recordBytes);
}

void DropRecord(PrivateRecord* copy) {
    if (copy->folder.empty())
        return;
    DeleteFileA(copy->record.c_str());
    DeleteFileA(copy->list.c_str());
    ReleaseHeld(&copy->held);
    RemoveDirectoryA(copy->folder.c_str());
}

// Whether this run may act on an installation for one user: not as the
// elevated half of a removal for every user, nor with a token that lends
// its rights to the user's unelevated processes (trust/halves.h).
bool ForOneUser() {
    TokenFacts own;
    return !RunSwitches()->channel && ReadToken(GetCurrentProcess(), &own) && MayActForOneUser(own);
}

// The removal the sealed record describes; *gone when the product is gone
// and this program and its folder are to follow.
int UninstallWith(const PrivateRecord& copy, const std::string& uninstallFolder, bool* gone) {
    std::string destination;
    std::string recordPath = uninstallFolder + "\\" + kRecordFile;
    UninstallRecord record;
    std::string caption = kInstallerName;
    ParseRecord(copy.recordBytes, &record);
    std::string product;
    if (IsProductUninstallKey(record.productKey, &product))
        caption = product;
    RecordOwner owner = OwnerOf(record.productKey, ForOneUser());
    if (owner == kOwnedByUserOnly) {
        Say(Text(kTextForOneUser), caption, MB_ICONERROR);
        return kNotTrusted;
    }
    InstallScope scope = owner == kOwnedByUser ? kScopeUser : kScopeMachine;
    LogLine("removal %s", scope == kScopeUser ? "for the user who runs it" : "for every user");
    // The record and the file list lie in the product's folder, which need
    // not be an administrators-only one: obeyed only as the installer left
    // them.
    if (!RecordIsSealed(record, copy.recordBytes, copy.hasList ? &copy.listBytes : nullptr, &destination,
                        UninstallRoot(scope))) {
        // Said as it is: a record that no longer counts is not a changed one.
        std::string registered;
        if (RegisteredElsewhere(record, copy.recordBytes, copy.hasList ? &copy.listBytes : nullptr, &registered,
                                UninstallRoot(scope))) {
            std::string text = Text(kTextElsewhere);
            if (!registered.empty())
                text += "\r\n\r\n" + Text(kTextInFolder) + "\r\n" + registered;
            Say(text, caption, MB_ICONWARNING);
            return kNotRegistered;
        }
        Say(Text(kTextNotSealed) + "\r\n" + recordPath, caption, MB_ICONERROR);
        return kNotTrusted;
    }
    std::string question = Text(kTextConfirm) + " " + caption + "?";
    if (Say(question, caption, MB_YESNO | MB_ICONQUESTION, IDYES) != IDYES)
        return kCancelled;

    if (!BeginRemovalJournal(destination, record.productKey)) {
        Say(Text(kTextFailed) + "\r\n" + uninstallFolder, caption, MB_ICONERROR);
        return kSomethingStayed;
    }
    // The folders of the installed files are held from here on, while the
    // programs of [RunU] run too, until the files are removed.
    std::vector<ListedFile> files = ParseFileList(copy.listBytes);
    RemovalTree tree;
    Outcome outcome;
    if (!HoldRemovalTree(destination, files, &tree))
        outcome.failed.push_back(destination);
    RunFirst(destination, record.runFirst);
    RemoveShortcuts(record, &outcome, scope);
    RemoveValues(record, &outcome);
    RemoveFiles(&tree, files, &outcome);
    // With something left that could not be removed, the uninstaller, its
    // record and its entry in the list of installed programs stay, so that
    // it can be run again from there. Otherwise the record goes, and the
    // entry last.
    RemoveRecordThenEntry(record, uninstallFolder, scope, &outcome);
    bool stays = !outcome.failed.empty();
    ListLeftovers(destination, uninstallFolder, stays, &outcome);
    Say(FinalMessage(outcome, destination), caption, stays ? MB_ICONWARNING : MB_ICONINFORMATION);
    *gone = !stays;
    return RemovalExitCode(stays ? kSomethingStayed : kRemoved, outcome);
}

// The product's key as the record names it, read before the record is
// trusted: only to choose (a lock's name, which half runs), never to remove.
std::string KeyAsItLies(const std::string& uninstallFolder) {
    char key[MAX_PATH + 64];
    GetPrivateProfileStringA("reg", "1", "", key, sizeof key, (uninstallFolder + "\\" + kRecordFile).c_str());
    return key;
}

// The scope the run's locks are taken for: that of the key the record
// names, or without one that of this run.
InstallScope LockScope(const std::string& key) {
    bool forOneUser = ForOneUser();
    if (key.empty())
        return forOneUser ? kScopeUser : kScopeMachine;
    return OwnerOf(key, forOneUser) == kOwnedByUser ? kScopeUser : kScopeMachine;
}

// The locks, and what a stopped run of the product left here. True when the
// removal goes on; otherwise *code is the run's exit code.
bool StartRun(const std::string& uninstallFolder, int* code) {
    std::string destination = Parent(uninstallFolder);
    std::string key = KeyAsItLies(uninstallFolder);
    // Read before a finished removal takes the language record away.
    std::string done = Text(kTextDone);
    switch (StartRemovalRun(LockScope(key), key, destination, OwnPath())) {
    case kRemovalGoesOn:
        return true;
    case kRemovalFinished:
        LogLine("a removal that was stopped is finished");
        Say(done, kInstallerName, MB_ICONINFORMATION);
        StartCleanup(uninstallFolder);
        *code = kRemoved;
        return false;
    default:
        Say(Text(kTextAnotherRun), kInstallerName, MB_ICONWARNING);
        *code = kAnotherRun;
        return false;
    }
}

int Uninstall() {
    std::string uninstallFolder = OwnFolder();
    std::string destination = Parent(uninstallFolder);
    UseLanguageFile(uninstallFolder + "\\" + kLanguageRecordFile);
    int code = kRemoved;
    if (destination.find('\\') != std::string::npos && !StartRun(uninstallFolder, &code))
        return code;
    PrivateRecord copy;
    // A destination that is a drive's root is never the product's own folder.
    if (destination.find('\\') == std::string::npos || !CopyRecord(uninstallFolder, &copy)) {
        DropRecord(&copy);
        Say(Text(kTextNoRecord) + "\r\n" + uninstallFolder + "\\" + kRecordFile, kInstallerName, MB_ICONERROR);
        return kNoRecord;
    }
    bool gone = false;
    code = UninstallWith(copy, uninstallFolder, &gone);
    // The private copies go before the clean-up starts, so that a run killed
    // after it leaves nothing of its own in the temporary folder.
    DropRecord(&copy);
    if (gone)
        StartCleanup(uninstallFolder);
    return code;
}

// The user's half of a removal for every user. True when this run was one:
// *exitCode is then the elevated half's (kCancelled, or kSomethingStayed
// in a silent run, when it could not be started). False when this run
// removes the product itself: it is elevated already, or the record's
// product is this user's own (read here only to choose; the removal obeys
// the sealed copy).
bool RemoveAsUserHalf(const char* arguments, int* exitCode) {
    TokenFacts own;
    if (RunSwitches()->channel || !ReadToken(GetCurrentProcess(), &own) || !NeedsElevatedHalf(own))
        return false;
    if (OwnerOf(KeyAsItLies(OwnFolder()), true) == kOwnedByUser)
        return false;
    LogLine("user's half: starting the elevated half");
    LogClose();
    ElevatedHalf half;
    HalfStart start = StartElevatedHalf(arguments, "", &half);
    unsigned long process = 0, code = Unattended() ? kSomethingStayed : kCancelled;
    char* report = nullptr;
    size_t size = 0;
    bool ended = start == kHalfStarted && WaitElevatedHalf(&half, &process, &code, &report, &size);
    if (RunSwitches()->log[0] != '\0')
        LogOpen(RunSwitches()->log, true);
    if (start != kHalfStarted)
        LogLine("user's half: the elevated half %s", start == kHalfDeclined ? "was declined" : "could not be started");
    else
        LogLine("user's half: the elevated half, process %lu, ended with exit code %lu, its report %s", process, code,
                ended && CheckReport(report, size, process, code) == kReportSound ? "whole" : "missing or broken");
    free(report);
    *exitCode = static_cast<int>(code);
    return true;
}

// The elevated half: its report (nothing to start) with its exit code.
int Answer(int code) {
    if (*Channel() != INVALID_HANDLE_VALUE) {
        HalfReport report = {nullptr, 0, 0};
        HalfReport none = {nullptr, 0, 0};
        ComposeReport(GetCurrentProcessId(), none, static_cast<unsigned long>(code), &report);
        LogLine("elevated half: report to the user's half %s", SendReport(*Channel(), report) ? "sent" : "not sent");
        ReportFree(&report);
        *Channel() = INVALID_HANDLE_VALUE;
    }
    return EndUninstall(code);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
    RestrictDllSearch();
    if (__argc == 4 && lstrcmpiA(__argv[1], kCleanupSwitch) == 0)
        return RunCleanup(__argv[2], __argv[3]);
    int code = 0;
    if (TakeUninstallSwitches(arguments, &code))
        return code;
    if (RemoveAsUserHalf(arguments, &code))
        return EndUninstall(code);
    const Switches* s = RunSwitches();
    if (s->channel)
        *Channel() = OpenChannel(s->channelProcess, s->channelHandle);
    return Answer(Uninstall());
}
