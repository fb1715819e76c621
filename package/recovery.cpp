// Recovery from a journal. Nothing is decided from what the destination
// looks like: only what the journal names is touched, and only by its rules.
// The journal goes last, once everything it names is done, so a recovery
// that is itself killed is simply run again.
#include "package/recovery.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "base/files.h"
#include "base/format.h"
#include "base/installed.h"
#include "base/regread.h"
#include "base/switches.h"
#include "package/journalfile.h"
#include "package/journalformat.h"
#include "trust/folder.h"

namespace {

// A journal larger than this is no journal of ours.
const size_t kJournalLimit = 256u << 20;

struct Recovery {
    const ParsedJournal* journal;
    const char* destination;
    const char* spare;
    char folder[MAX_PATH];  // the record folder
    bool incomplete;
    RecoveryReport* report;
    const char** created;  // the F records' paths, sorted
    size_t createdCount;
};

// path is below folder (ASCII letters compared without case) and what
// follows passes the member path rule.
bool Below(const char* path, const char* folder) {
    size_t n = strlen(folder), length = strlen(path);
    if (length <= n + 1 || path[n] != '\\')
        return false;
    char head[MAX_PATH];
    memcpy(head, path, n);
    head[n] = '\0';
    return SamePath(head, folder) && IsSafeMemberPath(path + n + 1, length - n - 1);
}

// kept is a kept copy's name in path's folder.
bool KeptBeside(const char* path, const char* kept) {
    const char* slash = strrchr(path, '\\');
    size_t folder = slash ? static_cast<size_t>(slash - path) : 0;
    return slash && strncmp(path, kept, folder + 1) == 0 && IsKeptName(kept + folder + 1);
}

bool Valid(const JournalRecord& r, const char* destination) {
    switch (r.type) {
    case 'D':
    case 'P':
    case 'F':
        return Below(r.path, destination);
    case 'K':
    case 'U':
        return Below(r.path, destination) && KeptBeside(r.path, r.second);
    case 'V':
    case 'N':
        return r.number[0] < 4 && r.path[0] != '\0';
    default:
        return true;
    }
}

bool Has(const ParsedJournal& j, char type) {
    for (size_t i = 0; i < j.count; ++i)
        if (j.records[i].type == type)
            return true;
    return false;
}

// Whether a U record says the move of the K record k never happened. The
// same move can be tried again after it succeeded (a path named twice in
// one section meets its own kept copy), so the first later record of the
// same path and kept name, a U or the next K, tells.
bool MoveFailed(const ParsedJournal& j, size_t k) {
    const JournalRecord& move = j.records[k];
    for (size_t i = k + 1; i < j.count; ++i) {
        const JournalRecord& later = j.records[i];
        if ((later.type == 'U' || later.type == 'K') && strcmp(later.second, move.second) == 0 &&
            strcmp(later.path, move.path) == 0)
            return later.type == 'U';
    }
    return false;
}

// What stands at path, opened as itself: a plain file (with its identity
// and size), nothing, or something else.
enum Standing { kNothing, kPlainFile, kOther };
Standing Look(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return kNothing;
    HANDLE h = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return kOther;
    bool ok = GetFileInformationByHandle(h, info) != FALSE;
    CloseHandle(h);
    return ok && !(info->dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ? kPlainFile
                                                                                                      : kOther;
}

bool Delete(const char* path) {
    if (DeleteFileA(path))
        return true;
    return SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) && DeleteFileA(path);
}

bool InRecordFolder(const Recovery& r, const char* path) { return Below(path, r.folder); }

int ComparePaths(const void* a, const void* b) {
    return strcmp(*static_cast<const char* const*>(a), *static_cast<const char* const*>(b));
}

// The paths of the F records, sorted, to find a file's identity record.
const char** CreatedPaths(const ParsedJournal& j, size_t* count) {
    const char** paths = static_cast<const char**>(malloc((j.count + 1) * sizeof(const char*)));
    *count = 0;
    for (size_t i = 0; paths && i < j.count; ++i)
        if (j.records[i].type == 'F')
            paths[(*count)++] = j.records[i].path;
    if (paths)
        qsort(paths, *count, sizeof *paths, ComparePaths);
    return paths;
}

// Whether an F record names path: the file was created, with its identity
// written. Without the table (no memory), assumed so: nothing is deleted.
bool CreatedLater(const Recovery& r, const char* path) {
    return !r.created || bsearch(&path, r.created, r.createdCount, sizeof *r.created, ComparePaths) != nullptr;
}

// The file an F record names, deleted while it is still the one this run
// created (or any file of the record folder, where only this run writes).
void UndoCreated(Recovery* r, const JournalRecord& f) {
    BY_HANDLE_FILE_INFORMATION info;
    if (Look(f.path, &info) != kPlainFile)
        return;
    if (info.nFileIndexHigh != f.number[0] || info.nFileIndexLow != f.number[1]) {
        if (!InRecordFolder(*r, f.path)) {
            LogLine("recovery: %s is no longer the file that run wrote: left", f.path);
            return;
        }
    }
    if (r->spare && SamePath(f.path, r->spare))
        return;
    if (Delete(f.path))
        ++r->report->files;
    else
        r->incomplete = true;
}

// A P record without its F: the run stopped between creating the file and
// writing its identity, so an empty file there is the one it created (a
// file in the way of the creation is moved aside under a K record first),
// and so is any file of the record folder, where only this run writes.
void UndoIntended(Recovery* r, const JournalRecord& p) {
    BY_HANDLE_FILE_INFORMATION info;
    if (CreatedLater(*r, p.path) || Look(p.path, &info) != kPlainFile || (r->spare && SamePath(p.path, r->spare)))
        return;
    // A copy into the record folder writes its bytes before its record.
    bool empty = info.nFileSizeHigh == 0 && info.nFileSizeLow == 0;
    if (!empty && !InRecordFolder(*r, p.path))
        return;
    if (Delete(p.path))
        ++r->report->files;
    else
        r->incomplete = true;
}

// The kept copy of a K record back under its name.
void UndoKept(Recovery* r, size_t index) {
    const JournalRecord& k = r->journal->records[index];
    BY_HANDLE_FILE_INFORMATION info;
    if (MoveFailed(*r->journal, index) || Look(k.second, &info) != kPlainFile)
        return;
    if (r->spare && SamePath(k.path, r->spare)) {
        // The name holds the program this process runs from.
        if (Delete(k.second))
            ++r->report->kept;
        return;
    }
    Standing there = Look(k.path, &info);
    // After the move the name was this run's: a file left there with nothing
    // in it was created in the moment before its own record.
    bool ours = there == kPlainFile && (InRecordFolder(*r, k.path) || (info.nFileSizeHigh == 0 && info.nFileSizeLow == 0));
    if (there != kNothing && !(ours && Delete(k.path))) {
        LogLine("recovery: %s is taken by a file that run did not write: the earlier file stays as %s", k.path,
                k.second);
        r->incomplete = true;
        return;
    }
    if (!MoveFileA(k.second, k.path)) {
        r->incomplete = true;
        return;
    }
    SetFileAttributesA(k.path, k.number[0] != 0 ? k.number[0] : FILE_ATTRIBUTE_NORMAL);
    ++r->report->kept;
}

void UndoValue(Recovery* r, const JournalRecord& v) {
    HKEY root = RegistryRootKey(v.number[0]);
    HKEY key = nullptr;
    LONG status;
    if (v.number[1] != 0) {
        unsigned char* data = static_cast<unsigned char*>(malloc(kJournalValueBytes));
        long size = data ? UnhexBytes(v.data, data, kJournalValueBytes) : -1;
        status = size < 0 ? ERROR_INVALID_DATA
                          : RegCreateKeyExA(root, v.path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                                            &key, nullptr);
        if (status == ERROR_SUCCESS)
            status = RegSetValueExA(key, v.second, 0, v.number[2], data, static_cast<DWORD>(size));
        free(data);
    } else {
        status = RegOpenKeyExA(root, v.path, 0, KEY_SET_VALUE, &key);
        if (status == ERROR_SUCCESS)
            status = RegDeleteValueA(key, v.second);
        if (status == ERROR_FILE_NOT_FOUND)
            status = ERROR_SUCCESS;
    }
    if (key)
        RegCloseKey(key);
    if (status == ERROR_SUCCESS)
        ++r->report->values;
    else
        r->incomplete = true;
}

void UndoKey(Recovery* r, const JournalRecord& n) {
    LONG status = RegDeleteKeyA(RegistryRootKey(n.number[0]), n.path);
    if (status == ERROR_SUCCESS)
        ++r->report->values;
}

// Everything the run did, in the reverse order; folders after the journal.
void TakeBack(Recovery* r) {
    const ParsedJournal& j = *r->journal;
    for (size_t i = j.count; i-- > 0;) {
        const JournalRecord& rec = j.records[i];
        if (rec.type == 'F')
            UndoCreated(r, rec);
        else if (rec.type == 'P')
            UndoIntended(r, rec);
        else if (rec.type == 'K')
            UndoKept(r, i);
        else if (rec.type == 'V')
            UndoValue(r, rec);
        else if (rec.type == 'N')
            UndoKey(r, rec);
    }
}

// The commit had begun: the new version is whole and registered; only its
// kept copies are left to delete.
void FinishCommit(Recovery* r) {
    const ParsedJournal& j = *r->journal;
    BY_HANDLE_FILE_INFORMATION info;
    for (size_t i = 0; i < j.count; ++i) {
        const JournalRecord& k = j.records[i];
        if (k.type != 'K' || MoveFailed(j, i) || Look(k.second, &info) != kPlainFile)
            continue;
        if (Delete(k.second))
            ++r->report->kept;
        else
            r->incomplete = true;
    }
}

// A removal that had begun to delete its record: the rest of the record
// goes, then the product's key while it still registers this destination's
// uninstaller, then the uninstaller itself unless it is the one running.
void FinishRemoval(Recovery* r) {
    r->report->removed = true;
    for (const char* name : {kRecordFile, kFileListFile, kLanguageRecordFile, kUninstallerFile}) {
        char path[MAX_PATH];
        if (snprintf(path, sizeof path, "%s\\%s", r->folder, name) >= static_cast<int>(sizeof path))
            continue;
        if ((r->spare && SamePath(path, r->spare)) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
            continue;
        if (Delete(path))
            ++r->report->files;
        else
            r->incomplete = true;
    }
    // The journal does not name the key's root: an installation for every
    // user has it under HKEY_LOCAL_MACHINE, one for one user under
    // HKEY_CURRENT_USER; either goes only while it registers this
    // destination's uninstaller.
    const char* key = r->journal->productKey;
    char registered[MAX_PATH + 8], expected[MAX_PATH + 32];
    snprintf(expected, sizeof expected, "\"%s%s\"", r->destination, kUninstallerCommand);
    for (short root : {kLocalMachineRoot, kCurrentUserRoot}) {
        if (!key[0] || !ReadRegistryString(root, key, "UninstallString", registered, sizeof registered) ||
            !SamePath(registered, expected))
            continue;
        if (RegDeleteKeyA(RegistryRootKey(root), key) == ERROR_SUCCESS)
            ++r->report->values;
        else
            r->incomplete = true;
    }
}

void RemoveFolders(Recovery* r) {
    const ParsedJournal& j = *r->journal;
    for (size_t i = j.count; i-- > 0;)
        if (j.records[i].type == 'D' && RemoveDirectoryA(j.records[i].path))
            ++r->report->folders;
    if (j.madeRecordFolder && RemoveDirectoryA(r->folder))
        ++r->report->folders;
}

void LogReport(const Recovery& r) {
    const RecoveryReport& p = *r.report;
    const char* what = p.kind == kJournalRemoval ? (p.removed ? "a removal, finished" : "a removal, left to run again")
                       : p.committed          ? "an installation whose commit had begun, finished"
                                              : "an installation that had not finished, taken back";
    LogLine("recovery of %s: %s: %lu files deleted, %lu kept files %s, %lu registry values and keys given back, "
            "%lu folders removed%s",
            r.destination, what, p.files, p.kept, p.committed ? "deleted" : "put back", p.values, p.folders,
            r.incomplete ? "; not everything could be done, the journal stays" : "");
}

RecoveryReport Recover(const char* destination, const char* spare, bool checkTrust) {
    RecoveryReport report = {kRecoveryNone, 0, false, false, 0, 0, 0, 0};
    Recovery r = {nullptr, destination, spare, "", false, &report, nullptr, 0};
    if (snprintf(r.folder, sizeof r.folder, "%s\\%s", destination, kRecordFolder) >= static_cast<int>(sizeof r.folder))
        return report;
    char* text = nullptr;
    size_t size = 0;
    if (!JournalFileFound(r.folder, &text, &size, kJournalLimit))
        return report;
    report.verdict = kRecoveryRefused;
    DWORD attributes = GetFileAttributesA(r.folder);
    ParsedJournal journal = {};
    const char* why = nullptr;
    if (!text)
        why = "it cannot be read";
    else if (checkTrust && ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !AdministratorsOnlyFolder(r.folder)))
        why = "users other than administrators may change its folder";
    else if (!ParseJournal(text, size, &journal) && !JournalHeaderTorn(text, size))
        why = "it is not a journal";
    else if (journal.destination && !SamePath(journal.destination, destination))
        why = "it names another folder";
    for (size_t i = 0; !why && i < journal.count; ++i)
        if (!Valid(journal.records[i], destination))
            why = "it names a path outside the folder";
    if (why) {
        LogLine("journal %s\\%s: not followed, %s", r.folder, kJournalFile, why);
        FreeJournal(&journal);
        free(text);
        return report;
    }
    if (!journal.destination) {
        // Stopped before its header was whole: no step of it was taken.
        report.verdict = JournalFileDeleteFound(r.folder) ? kRecoveryDone : kRecoveryIncomplete;
        LogLine("journal %s\\%s: the run stopped before it began: deleted", r.folder, kJournalFile);
        free(text);
        return report;
    }
    r.journal = &journal;
    report.kind = journal.kind;
    report.committed = journal.kind == kJournalInstall && Has(journal, 'C');
    if (journal.kind == kJournalRemoval) {
        if (Has(journal, 'G'))
            FinishRemoval(&r);
    } else if (report.committed) {
        FinishCommit(&r);
    } else {
        r.created = CreatedPaths(journal, &r.createdCount);
        TakeBack(&r);
        free(r.created);
    }
    if (!r.incomplete && JournalFileDeleteFound(r.folder)) {
        report.verdict = kRecoveryDone;
        if (!report.committed && journal.kind == kJournalInstall)
            RemoveFolders(&r);
    } else {
        r.incomplete = true;
        report.verdict = kRecoveryIncomplete;
    }
    LogReport(r);
    FreeJournal(&journal);
    free(text);
    return report;
}

}  // namespace

RecoveryReport RecoverDestination(const char* destination, const char* spare) {
    return Recover(destination, spare, true);
}

RecoveryReport TakeBackJournal(const char* destination, const char* spare) {
    return Recover(destination, spare, false);
}
