// The run's journal. Each record reaches the file (WriteFile) before the
// step it describes, so a killed process leaves it whole; the records that a
// power cut must not lose (a file about to be moved aside, a registry value
// about to change, the commit) are flushed to the disk as well. One lock
// keeps the lines of the reader and the file pool's workers apart.
#include "package/journal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/files.h"
#include "base/format.h"
#include "base/installed.h"
#include "base/regread.h"
#include "base/switches.h"
#include "package/journalfile.h"
#include "package/journalformat.h"
#include "package/recovery.h"
#include "trust/relative.h"
#include "trust/folder.h"

namespace {

struct RunJournal {
    SRWLOCK lock;
    JournalFile file;
    bool active;
    bool failed;  // a line could not be written: nothing more is journaled, and so nothing more done
    char destination[MAX_PATH];
    char folder[MAX_PATH];
};

RunJournal* Run() {
    static RunJournal journal = {SRWLOCK_INIT, {INVALID_HANDLE_VALUE, ""}, false, false, "", ""};
    return &journal;
}

// Writes one line of fields (and flushes it, with durable); false once any
// line has failed.
bool Write(const char* const* fields, int count, bool durable, char* buffer, size_t size) {
    RunJournal* j = Run();
    size_t n = JournalLine(buffer, size, fields, count);
    AcquireSRWLockExclusive(&j->lock);
    bool ok = !j->failed && n > 0 && JournalFileAppend(&j->file, buffer, n) && (!durable || JournalFileFlush(&j->file));
    if (!ok && !j->failed) {
        j->failed = true;
        LogLine("journal %s: could not be written (error %lu)", j->file.path, static_cast<unsigned long>(GetLastError()));
    }
    ReleaseSRWLockExclusive(&j->lock);
    return ok;
}

bool WritePath(const char* const* fields, int count, bool durable) {
    char line[kJournalPathLineSize];
    return Write(fields, count, durable, line, sizeof line);
}

// The record folder of destination, made or given its access list.
bool PrepareRecordFolder(const char* destination, const char* productKey, bool make, bool* created) {
    RunJournal* j = Run();
    *created = false;
    if (snprintf(j->folder, sizeof j->folder, "%s\\%s", destination, kRecordFolder) >= static_cast<int>(kMaxFolderPath))
        return false;
    DWORD attributes = GetFileAttributesA(j->folder);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        SECURITY_ATTRIBUTES* security = RecordFolderSecurity();
        *created = make && security && CreateDirectoryA(j->folder, security);
        return *created;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    // The product's own record folder, which an earlier version may have
    // left open to the destination's users: the journal lies there.
    char registered[MAX_PATH + 8], expected[MAX_PATH + 32];
    snprintf(expected, sizeof expected, "\"%s%s\"", destination, kUninstallerCommand);
    if (make && productKey[0] && ReadMachineString(productKey, "UninstallString", registered, sizeof registered) &&
        SamePath(registered, expected))
        LogLine("record folder %s: access list %s", j->folder, ProtectRecordFolder(j->folder) ? "set" : "not set");
    return true;
}

// The file's index, which names it on its volume whatever its name.
bool Identity(HANDLE file, char* high, char* low) {
    uint64_t index = 0;
    if (!IndexThrough(file, &index))
        return false;
    snprintf(high, 9, "%lX", static_cast<unsigned long>(index >> 32));
    snprintf(low, 9, "%lX", static_cast<unsigned long>(index & 0xFFFFFFFFu));
    return true;
}

// The value's before-image line into line: it is missing, or its type and
// bytes. False when it cannot be read whole.
bool ValueImage(HKEY key, short root, const char* path, const char* name, char* line, size_t size, size_t* length) {
    DWORD type = 0, bytes = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, nullptr, &bytes);
    char rootText[4], typeText[12];
    snprintf(rootText, sizeof rootText, "%X", static_cast<unsigned>(root));
    if (status == ERROR_FILE_NOT_FOUND) {
        const char* fields[] = {"V", rootText, path, name ? name : "", "0", "0", ""};
        *length = JournalLine(line, size, fields, 7);
        return *length > 0;
    }
    if (status != ERROR_SUCCESS || bytes > kJournalValueBytes)
        return false;
    unsigned char data[kJournalValueBytes];
    DWORD got = bytes;
    if (RegQueryValueExA(key, name, nullptr, &type, data, &got) != ERROR_SUCCESS || got > bytes)
        return false;
    char* hex = static_cast<char*>(malloc(2 * got + 1));
    if (!hex)
        return false;
    HexBytes(data, got, hex);
    snprintf(typeText, sizeof typeText, "%lX", static_cast<unsigned long>(type));
    const char* fields[] = {"V", rootText, path, name ? name : "", "1", typeText, hex};
    *length = JournalLine(line, size, fields, 7);
    free(hex);
    return *length > 0;
}

}  // namespace

bool JournalBegin(const char* destination, const char* productKey, char kind) {
    RunJournal* j = Run();
    if (j->active)
        JournalEnd();
    j->failed = false;
    bool created = false;
    if (!PrepareRecordFolder(destination, productKey ? productKey : "", kind == kJournalInstall, &created) ||
        !JournalFileCreate(j->folder, &j->file)) {
        LogLine("journal in %s: cannot be made (error %lu)", j->folder, static_cast<unsigned long>(GetLastError()));
        if (created)
            RemoveDirectoryA(j->folder);
        j->folder[0] = '\0';
        return false;
    }
    snprintf(j->destination, sizeof j->destination, "%s", destination);
    j->active = true;
    char kindText[2] = {kind, '\0'}, process[12];
    snprintf(process, sizeof process, "%lX", static_cast<unsigned long>(GetCurrentProcessId()));
    const char* header[] = {kJournalMagic, kJournalVersion, kindText, destination, productKey ? productKey : "",
                            process,       created ? "1" : "0"};
    if (!WritePath(header, 7, true)) {
        JournalFileDelete(&j->file);
        if (created)
            RemoveDirectoryA(j->folder);
        j->active = false;
        return false;
    }
    LogLine("journal %s: begun", j->file.path);
    return true;
}

bool JournalActive() { return Run()->active; }

const char* JournalRecordFolder() { return Run()->active ? Run()->folder : ""; }

bool JournalKeep(const char* path, const char* kept, uint32_t attributes) {
    if (!Run()->active)
        return true;
    char number[12];
    snprintf(number, sizeof number, "%lX", static_cast<unsigned long>(attributes));
    const char* fields[] = {"K", path, kept, number};
    return WritePath(fields, 4, true);
}

void JournalKeepFailed(const char* path, const char* kept) {
    if (!Run()->active)
        return;
    const char* fields[] = {"U", path, kept};
    WritePath(fields, 3, false);
}

bool JournalWillCreate(const char* path) {
    if (!Run()->active)
        return true;
    const char* fields[] = {"P", path};
    return WritePath(fields, 2, false);
}

bool JournalCreated(const char* path, HANDLE file) {
    if (!Run()->active)
        return true;
    char high[9], low[9];
    if (!Identity(file, high, low))
        return false;
    const char* fields[] = {"F", path, high, low};
    return WritePath(fields, 4, false);
}

bool JournalCreatedAt(const char* path) {
    if (!Run()->active)
        return true;
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = JournalCreated(path, file);
    CloseHandle(file);
    return ok;
}

bool JournalWillCreateFolder(const char* path) {
    if (!Run()->active)
        return true;
    const char* fields[] = {"D", path};
    return WritePath(fields, 2, false);
}

bool JournalValue(short root, const char* key, const char* name) {
    if (!Run()->active)
        return true;
    HKEY h = nullptr;
    LONG status = RegOpenKeyExA(RegistryRootKey(static_cast<uint32_t>(root)), key, 0, KEY_QUERY_VALUE, &h);
    if (status == ERROR_FILE_NOT_FOUND) {
        char rootText[4];
        snprintf(rootText, sizeof rootText, "%X", static_cast<unsigned>(root));
        const char* fields[] = {"N", rootText, key};
        return WritePath(fields, 3, true);
    }
    if (status != ERROR_SUCCESS)
        return false;
    char* line = static_cast<char*>(malloc(kJournalLineSize));
    size_t length = 0;
    bool ok = line && ValueImage(h, root, key, name, line, kJournalLineSize, &length);
    RegCloseKey(h);
    if (ok) {
        RunJournal* j = Run();
        AcquireSRWLockExclusive(&j->lock);
        ok = !j->failed && JournalFileAppend(&j->file, line, length) && JournalFileFlush(&j->file);
        j->failed = j->failed || !ok;
        ReleaseSRWLockExclusive(&j->lock);
    }
    free(line);
    return ok;
}

bool JournalMark(char mark) {
    if (!Run()->active)
        return true;
    char text[2] = {mark, '\0'};
    const char* fields[] = {text};
    return WritePath(fields, 1, true);
}

void JournalEnd() {
    RunJournal* j = Run();
    if (!j->active)
        return;
    if (!JournalFileDelete(&j->file))
        LogLine("journal %s: could not be deleted (error %lu)", j->file.path, static_cast<unsigned long>(GetLastError()));
    j->active = false;
}

bool JournalTakeBack() {
    RunJournal* j = Run();
    if (!j->active)
        return false;
    // Closed first: what is read back is what the next run would find.
    CloseHandle(j->file.handle);
    j->file.handle = INVALID_HANDLE_VALUE;
    RecoveryReport report = TakeBackJournal(j->destination, nullptr);
    bool followed = report.verdict == kRecoveryDone || report.verdict == kRecoveryIncomplete;
    // Not read back: the caller takes back from its record, then ends it.
    if (followed)
        j->active = false;
    return followed;
}
