// The product moved to another folder. What may go from the earlier folder
// is what its own uninstaller would remove (uninst/): the record and list
// are read once and checked against the seal the Uninstall key still holds,
// before this installation writes its own; after the registration the files
// are removed from those same bytes.
#include "finish/move.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/ascii.h"
#include "base/installed.h"
#include "base/switches.h"
#include "package/registered.h"
#include "uninst/record.h"
#include "uninst/recordtext.h"
#include "uninst/removal.h"
#include "uninst/steps.h"

namespace {

// The whole file at path, read through one handle that opens a link as
// itself. False for a link, a file larger than any record or list the
// installer writes, or one that cannot be read.
bool ReadWhole(const std::string& path, std::string* bytes) {
    const DWORD kLargest = 64u << 20;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool ok = GetFileInformationByHandle(h, &info) &&
              !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
              info.nFileSizeHigh == 0 && info.nFileSizeLow <= kLargest;
    if (ok) {
        bytes->resize(info.nFileSizeLow);
        DWORD got = 0;
        ok = bytes->empty() || (ReadFile(h, &(*bytes)[0], info.nFileSizeLow, &got, nullptr) && got == bytes->size());
    }
    CloseHandle(h);
    return ok;
}

bool IsReparsePoint(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The shortcuts the record at path lists ([lnk] 1 to max).
std::vector<std::string> RecordedShortcuts(const char* path) {
    std::vector<std::string> shortcuts;
    UINT max = GetPrivateProfileIntA("lnk", "max", 0, path);
    for (UINT n = 1; n <= max && n <= 10000; ++n) {
        char key[16], entry[MAX_PATH];
        snprintf(key, sizeof key, "%u", n);
        GetPrivateProfileStringA("lnk", key, "", entry, sizeof entry, path);
        if (entry[0] != '\0')
            shortcuts.push_back(entry);
    }
    return shortcuts;
}

// The earlier record's shortcuts that this installation did not make
// again: they lead into the earlier folder.
UninstallRecord ShortcutsNotMade(const UninstallRecord& record, const char* newRecord) {
    UninstallRecord stale;
    stale.productKey = record.productKey;
    std::vector<std::string> made = RecordedShortcuts(newRecord);
    for (const std::string& shortcut : record.shortcuts) {
        bool again = false;
        for (const std::string& m : made)
            again = again || SameAscii(m.data(), m.size(), shortcut.data(), shortcut.size());
        if (!again)
            stale.shortcuts.push_back(shortcut);
    }
    return stale;
}

// The earlier record folder's own files, by name, and the folder.
void RemoveRecordFolder(const std::string& folder, Outcome* outcome) {
    std::string records = folder + "\\" + kRecordFolder;
    if (IsReparsePoint(records))
        return;
    for (const char* name : {kUninstallerFile, kRecordFile, kFileListFile, kLanguageRecordFile}) {
        std::string path = records + "\\" + name;
        if (!DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
            outcome->failed.push_back(path);
    }
    RemoveDirectoryA(records.c_str());
}

// Reads the record and file list of the installation in folder into
// *earlier and checks them as its uninstaller would, for productKey under
// root. Null when they may be obeyed, else why not.
const char* WhyNotSealed(const char* folder, short root, const char* productKey, EarlierFolder* earlier) {
    std::string records = std::string(folder) + "\\" + kRecordFolder + "\\";
    if (!ReadWhole(records + kRecordFile, &earlier->record) || !ReadWhole(records + kFileListFile, &earlier->list))
        return "its record or file list is gone or cannot be read";
    UninstallRecord record;
    ParseRecord(earlier->record, &record);
    std::string sealedFolder;
    if (!SameAscii(record.productKey.data(), record.productKey.size(), productKey, strlen(productKey)) ||
        !RecordIsSealed(record, earlier->record, &earlier->list, &sealedFolder, root, records + kUninstallerFile))
        return "its record or file list was changed after its installation";
    return nullptr;
}

void LogOutcome(const char* folder, const Outcome& outcome, bool folderGone) {
    for (const std::string& path : outcome.failed)
        LogLine("earlier installation: %s could not be removed", path.c_str());
    for (const std::string& path : outcome.kept)
        LogLine("earlier installation: %s stays, changed or added since its installation", path.c_str());
    LogLine("earlier installation in %s: its unchanged files and its record removed, the folder %s", folder,
            folderGone ? "too" : "stays");
}

}  // namespace

bool FindEarlierFolder(const Installation& installation, EarlierFolder* earlier) {
    earlier->folder[0] = '\0';
    earlier->scope = installation.scope;
    RegisteredInstallation registered;
    if (!ReadRegistered(installation.root, installation.productKey, &registered))
        return false;
    char was[MAX_PATH], now[MAX_PATH];
    FolderIdentity(registered.folder, was);
    FolderIdentity(installation.destination, now);
    FolderRelation relation = RelateFolders(was, now);
    if (relation == kSameFolder)
        return false;
    const char* why = relation == kFoldersNested
                          ? "one of the two folders lies in the other"
                          : WhyNotSealed(registered.folder, installation.root, installation.productKey, earlier);
    if (why) {
        LogLine("earlier installation in %s: left as it is, %s", registered.folder, why);
        earlier->record.clear();
        earlier->list.clear();
        return false;
    }
    snprintf(earlier->folder, sizeof earlier->folder, "%s", registered.folder);
    LogLine("earlier installation in %s: the product moves to %s", earlier->folder, installation.destination);
    return true;
}

void RemoveEarlierFolder(const EarlierFolder& earlier, const char* newRecord) {
    if (earlier.folder[0] == '\0')
        return;
    const std::string folder = earlier.folder;
    UninstallRecord record;
    ParseRecord(earlier.record, &record);
    std::vector<ListedFile> files = ParseFileList(earlier.list);
    // The folder and those of its files are held without delete sharing
    // while its files go, so that none of them is swapped for a link
    // meanwhile; a listed folder that is a link is never entered.
    RemovalTree tree;
    if (!HoldRemovalTree(folder, files, &tree)) {
        LogLine(
            "earlier installation in %s: left as it is, a link or junction stands along it, or it cannot be "
            "checked",
            earlier.folder);
        return;
    }
    Outcome outcome;
    RemoveShortcuts(ShortcutsNotMade(record, newRecord), &outcome, earlier.scope);
    RemoveFiles(&tree, files, &outcome);
    RemoveRecordFolder(folder, &outcome);
    std::string records = folder + "\\" + kRecordFolder;
    ListLeftovers(folder, records, GetFileAttributesA(records.c_str()) != INVALID_FILE_ATTRIBUTES, &outcome);
    bool gone = !outcome.folderKept && RemoveDirectoryA(earlier.folder);
    LogOutcome(earlier.folder, outcome, gone);
}
