// The uninstall record's writer. Numbers are plain decimal; [lnk] and [reg]
// count from 1 without gaps because the finish sequence deletes them first.
// What the record and the file list hold is kept as it is written, so that
// the seal is taken of the bytes this run wrote, never of a file read back.
#include "finish/record.h"

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "config/config.h"
#include "base/format.h"
#include "base/installed.h"
#include "package/earlier.h"
#include "package/heldfiles.h"
#include "package/heldtree.h"
#include "package/journal.h"
#include "package/record.h"
#include "platform/win32api.h"
#include "base/files.h"
#include "base/scratch.h"
#include "base/switches.h"
#include "trust/digest.h"
#include "trust/folder.h"
#include "trust/relative.h"
#include "finish/recordcopy.h"

namespace {

// The digest of the file list as this run writes it.
struct ListSeal {
    SealHashing hashing;
    char digest[kDigestTextSize];
};

ListSeal* ListSealing() {
    static ListSeal seal;
    return &seal;
}

}  // namespace

bool WriteToUnInstall(bool reg, const char* entry, const char* valueName) {
    char record[MAX_PATH];
    ScratchRead(kScratchRecord, record, sizeof record);
    const char* section = reg ? "reg" : "lnk";
    UINT n = GetPrivateProfileIntA(section, "max", 0, record) + 1;
    char number[16];
    snprintf(number, sizeof number, "%u", n);
    BOOL ok = WritePrivateProfileStringA(section, "max", number, record);
    ok = WritePrivateProfileStringA(section, number, entry, record);
    if (valueName)
        ok = WritePrivateProfileStringA("sub", number, valueName, record);
    CopySet(section, "max", number);
    CopySet(section, number, entry);
    if (valueName)
        CopySet("sub", number, valueName);
    LogLine("record [%s] %s=%s%s%s: %s", section, number, entry, valueName ? ", value " : "",
            valueName ? valueName : "", ok ? "written" : "failed");
    return ok != FALSE;
}

void addtouninstlist(char* value, const char* recordPath, char* path, char* number) {
    GetFromCfg("maxU", value, kSecIndex, kInitCfg);
    int end = atoi(value);
    if (end == 0)
        return;
    LogLine("record [maxU] 1=%s: %s", value,
            WritePrivateProfileStringA("maxU", "1", value, recordPath) ? "written" : "failed");
    CopySet("maxU", "1", value);
    if (end > kMaxListEnd)
        end = kMaxListEnd;
    for (int k = 1; k < end; ++k) {
        snprintf(number, 16, "%d", k);
        GetFromCfg(number, path, kSecRunU, kInitCfg);
        if (path[0] == '\0')
            continue;
        LogLine("record [RunU] %s=%s: %s", number, path,
                WritePrivateProfileStringA("RunU", number, path, recordPath) ? "written" : "failed");
        CopySet("RunU", number, path);
    }
}

namespace {

int CompareEntries(const void* a, const void* b) {
    return CompareNames(*static_cast<const char* const*>(a), *static_cast<const char* const*>(b));
}

// The relative path of record entry i when it is a file written below
// destination (prefix characters long), or one found there unchanged and
// left in place, else null.
const char* WrittenBelow(size_t i, const char* destination, size_t prefix) {
    if (WrittenKind(i) != kEntryFile && WrittenKind(i) != kEntryUnchanged)
        return nullptr;
    bool folder = false;
    const char* path = WrittenEntry(i, &folder);
    if (strncmp(path, destination, prefix) != 0 || path[prefix] != '\\' || path[prefix + 1] == '\0')
        return nullptr;
    return path + prefix + 1;
}

bool PutLine(HANDLE list, uint32_t size, uint32_t crc, const char* relative) {
    char line[MAX_PATH + 32];
    int n = snprintf(line, sizeof line, "%lu %08lX %s\r\n", static_cast<unsigned long>(size),
                     static_cast<unsigned long>(crc), relative);
    DWORD put = 0;
    if (n <= 0 || n >= static_cast<int>(sizeof line) || !WriteFile(list, line, static_cast<DWORD>(n), &put, nullptr) ||
        put != static_cast<DWORD>(n))
        return false;
    SealAdd(&ListSealing()->hashing, line, static_cast<size_t>(n));
    return true;
}

// Appends the earlier list's lines for files that this run did not write:
// the list the program section read and checked against its seal, never
// read again. written holds this run's relative paths, sorted.
bool KeepEarlier(HANDLE list, const char** written, size_t count) {
    const EarlierInstallation* earlier = EarlierFound();
    if (!earlier->files) {
        if (earlier->listChanged)
            LogLine("file list of the earlier installation: not merged, its digest does not check");
        return true;
    }
    bool ok = true;
    for (size_t i = 0; ok && i < earlier->count; ++i) {
        const EarlierFile& f = earlier->files[i];
        if (!bsearch(&f.relative, written, count, sizeof *written, CompareEntries))
            ok = PutLine(list, f.size, f.crc, f.relative);
    }
    return ok;
}

}  // namespace

bool WriteFileList(const char* destination, const char* listPath, bool withEarlier) {
    if (!JournalWillCreate(listPath))
        return false;
    HANDLE list = HeldCreateAfresh(listPath, GENERIC_WRITE | DELETE);
    if (list == INVALID_HANDLE_VALUE)
        return false;
    if (!JournalCreated(listPath, list)) {
        DeleteThrough(list);
        CloseHandle(list);
        return false;
    }
    size_t prefix = strlen(destination);
    size_t count = 0;
    const char** written = static_cast<const char**>(malloc((WrittenCount() + 1) * sizeof(const char*)));
    bool ok = written != nullptr;
    for (size_t i = 0; i < WrittenCount() && ok; ++i) {
        const char* relative = WrittenBelow(i, destination, prefix);
        if (!relative)
            continue;
        written[count++] = relative;
        uint32_t size = 0, crc = 0;
        WrittenSum(i, &size, &crc);
        ok = PutLine(list, size, crc, relative);
    }
    if (ok && withEarlier) {
        qsort(written, count, sizeof *written, CompareEntries);
        ok = KeepEarlier(list, written, count);
    }
    free(written);
    if (!ok)
        DeleteThrough(list);
    return CloseHandle(list) && ok;
}

namespace {

void RecordCreatedFolder(const char* folder) { WrittenAdd(folder, true); }

// The folder above path and its last name.
void SplitFolder(const char* path, char* above, const char** name) {
    const char* slash = strrchr(path, '\\');
    size_t n = slash ? static_cast<size_t>(slash - path) : 0;
    snprintf(above, MAX_PATH, "%.*s", static_cast<int>(n), path);
    *name = slash ? slash + 1 : path;
}

// The kept name of original when this run moved it aside, else null.
const char* KeptFor(const char* original) {
    for (size_t i = WrittenCount(); i-- > 0;) {
        bool folder;
        if (WrittenKind(i) == kEntryKept && strcmp(WrittenEntry(i, &folder), original) == 0)
            return WrittenKeptName(i);
    }
    return nullptr;
}

// The record folder DEST\\UnInstall. Missing, it is made with the record
// folder's access list (the destination's folders before it, all recorded).
// There already, it keeps its own list, but for an earlier installation's
// of this product (earlierOfThisProduct: the product's Uninstall key
// registers this folder's uninstaller), whose list is replaced: an earlier
// version may have left it inheriting from the destination. A link standing
// there is refused. An installation for one user keeps its record folder
// the user's own, as everything else in its folder: it inherits.
SectionResult MakeRecordFolder(const char* folder, bool earlierOfThisProduct, bool forUser) {
    char above[MAX_PATH], inside[MAX_PATH];
    const char* name;
    SplitFolder(folder, above, &name);
    SECURITY_ATTRIBUTES* security = forUser ? nullptr : RecordFolderSecurity();
    if ((!forUser && !security) || snprintf(inside, sizeof inside, "%s\\", folder) >= MAX_PATH || !TreeHoldRoot(above))
        return kSectionWriteFailed;
    // Made from the destination's held handle with its protected list, and
    // held; one that is there is opened as itself (a link is refused).
    size_t before = WrittenCount();
    SectionResult result = TreeMakeFolders(inside, strlen(inside), security, RecordCreatedFolder);
    if (result == kSectionOk && earlierOfThisProduct && !forUser && WrittenCount() == before)
        LogLine("record folder %s: access list %s", folder,
                ProtectFolderIn(TreeFind(above), name, kRecordFolderSddl) ? "set" : "not set");
    return result;
}

// Records path as written when it exists; false only when memory ran out.
bool RecordIfThere(const char* path) { return !HeldFileThere(path) || WrittenAdd(path, false); }

}  // namespace

SectionResult BeginRecord(const char* destination, const char* productKey, const char* uninstallerSource,
                          bool sealedBefore, InstallScope scope) {
    char folder[MAX_PATH], record[MAX_PATH], list[MAX_PATH], language[MAX_PATH], uninstaller[MAX_PATH];
    if (snprintf(folder, sizeof folder, "%s\\%s", destination, kRecordFolder) >= static_cast<int>(kMaxFolderPath) ||
        snprintf(record, sizeof record, "%s\\%s", folder, kRecordFile) >= MAX_PATH ||
        snprintf(list, sizeof list, "%s\\%s", folder, kFileListFile) >= MAX_PATH ||
        snprintf(language, sizeof language, "%s\\%s", folder, kLanguageRecordFile) >= MAX_PATH ||
        snprintf(uninstaller, sizeof uninstaller, "%s\\%s", folder, kUninstallerFile) >= MAX_PATH)
        return kSectionWriteFailed;
    bool sealed = productKey && sealedBefore;
    SectionResult result = MakeRecordFolder(folder, sealed, scope == kScopeUser);
    const char* const made[] = {record, list, language, uninstaller};
    for (size_t i = 0; i < 4 && result == kSectionOk; ++i)
        result = MakeWay(made[i]);
    if (result != kSectionOk)
        return result;
    // The earlier record and list were there: moved aside just now.
    bool merge = sealed && KeptFor(record) && KeptFor(list);
    // The list first, while the record holds only what the sections wrote;
    // its seal is taken of the lines as they are written.
    ListSeal* seal = ListSealing();
    if (productKey)
        SealBegin(&seal->hashing, productKey, destination);
    bool listed = WriteFileList(destination, list, merge);
    if (!SealEnd(&seal->hashing, seal->digest) || !listed)
        seal->digest[0] = '\0';
    if (!listed)
        return kSectionWriteFailed;
    if (!WrittenAdd(list, false))
        return kSectionNoMemory;
    if (!JournalWillCreate(record))
        return kSectionWriteFailed;
    HANDLE created = HeldCreateNew(record, GENERIC_WRITE);
    if (created == INVALID_HANDLE_VALUE)
        return kSectionWriteFailed;
    bool journaled = JournalCreated(record, created);
    CloseHandle(created);
    if (!journaled) {
        HeldDelete(record);
        return kSectionWriteFailed;
    }
    CopyReset();
    if (!WrittenAdd(record, false))
        return kSectionNoMemory;
    if (!JournalWillCreate(language))
        return kSectionWriteFailed;
    CopyLanguageRecord(language);
    if (HeldFileThere(language) && !JournalCreatedAt(language)) {
        HeldDelete(language);
        return kSectionWriteFailed;
    }
    if (!RecordIfThere(language))
        return kSectionNoMemory;
    // With the built-in language the earlier language file goes for good.
    if (!HeldFileThere(language))
        WrittenKeptGoes(language);
    if (!JournalWillCreate(uninstaller) || !HeldCopyIn(uninstallerSource, uninstaller))
        return kSectionWriteFailed;
    if (!JournalCreatedAt(uninstaller)) {
        HeldDelete(uninstaller);
        return kSectionWriteFailed;
    }
    return WrittenAdd(uninstaller, false) ? kSectionOk : kSectionNoMemory;
}

const char* FileListSeal() { return ListSealing()->digest; }

void CopyLanguageRecord(const char* target) {
    char chosen[MAX_PATH];
    ScratchRead(kScratchLanguage, chosen, sizeof chosen);
    HeldDelete(target);
    HeldCopyIn(chosen, target);
}
