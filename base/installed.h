// What an installation leaves behind, by name: the record folder and its
// files, the uninstaller's name in the package, the product's Uninstall key
// and the registry roots a [key] entry may name. The installer, the
// uninstaller and the packing tool all spell these from here.
#ifndef BRONDALE_BASE_INSTALLED_H
#define BRONDALE_BASE_INSTALLED_H

#include <cstddef>
#include <cstdint>
#include <cstring>

// Below the destination folder.
const char kRecordFolder[] = "UnInstall";
const char kRecordFile[] = "UnInst.cfg";
const char kFileListFile[] = "Files.lst";
const char kUninstallerFile[] = "UnInst.exe";
const char kLanguageRecordFile[] = "Language.lng";
// One line of the file list, without its line end: the file's size in
// decimal, one blank, its CRC-32 as exactly eight hexadecimal digits, one
// blank, and its path relative to the destination (not empty). Fills size,
// crc and the offset of the path in line; false for anything else, a size
// past 32 bits included. The path is left for the caller to judge.
inline bool ParseFileListLine(const char* line, size_t length, uint32_t* size, uint32_t* crc, size_t* pathAt) {
    size_t at = 0;
    uint64_t s = 0;
    while (at < length && line[at] >= '0' && line[at] <= '9') {
        s = s * 10 + static_cast<uint64_t>(line[at] - '0');
        if (s > UINT32_MAX)
            return false;
        ++at;
    }
    if (at == 0 || at >= length || line[at] != ' ')
        return false;
    ++at;
    uint32_t c = 0;
    for (int i = 0; i < 8; ++i, ++at) {
        char h = at < length ? line[at] : '\0';
        int d = (h >= '0' && h <= '9')   ? h - '0'
                : (h >= 'A' && h <= 'F') ? h - 'A' + 10
                : (h >= 'a' && h <= 'f') ? h - 'a' + 10
                                         : -1;
        if (d < 0)
            return false;
        c = c << 4 | static_cast<uint32_t>(d);
    }
    if (at >= length || line[at] != ' ' || at + 1 >= length)
        return false;
    *size = static_cast<uint32_t>(s);
    *crc = c;
    *pathAt = at + 1;
    return true;
}

// A file that a run moves aside to replace it (a kept copy) is named "~BDK"
// and seven upper-case hexadecimal digits, in the folder of the file it
// stands for: eleven characters, so that beside any folder of at most 247
// characters the name still fits in 259.
const char kKeptPrefix[] = "~BDK";
const size_t kKeptNameLength = 11;
// True for a name of that form (case-blind).
inline bool IsKeptName(const char* name) {
    if (strlen(name) != kKeptNameLength)
        return false;
    for (size_t i = 0; i < kKeptNameLength; ++i) {
        char c = name[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        bool ok = i < 4 ? c == kKeptPrefix[i] : ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
        if (!ok)
            return false;
    }
    return true;
}

// The uninstaller as the Install section carries it.
const char kUninstallerInPackage[] = "UnInst.dat";
// The uninstaller as the Uninstall key and the Start menu name it, relative
// to the destination (the key's text spells the folder "Uninstall").
const char kUninstallerCommand[] = "\\Uninstall\\UnInst.exe";
const char kUninstallerMenuEntry[] = "UnInstall\\UnInst.exe";

// The destination folder of an uninstaller command as the installer writes
// it, a quote, the folder, kUninstallerCommand (its letters in any case)
// and a quote: the folder into folder (size bytes). False, with folder "",
// for any other command, or a folder that is not of the form X:\name.
inline bool FolderOfUninstaller(const char* command, char* folder, size_t size) {
    folder[0] = '\0';
    size_t n = strlen(command), tail = strlen(kUninstallerCommand);
    if (n < tail + 6 || command[0] != '"' || command[n - 1] != '"' || command[2] != ':' || command[3] != '\\' ||
        command[4] == '\\')
        return false;
    for (size_t i = 0; i < tail; ++i) {
        char a = command[n - 1 - tail + i], b = kUninstallerCommand[i];
        if ((a >= 'A' && a <= 'Z' ? a + 32 : a) != (b >= 'A' && b <= 'Z' ? b + 32 : b))
            return false;
    }
    // A drive's root is never a product's own folder.
    size_t length = n - 2 - tail;
    if (length < 4 || length >= size || memchr(command + 1, '"', length))
        return false;
    memcpy(folder, command + 1, length);
    folder[length] = '\0';
    return true;
}

// Every product's Uninstall key lies below this key of HKEY_LOCAL_MACHINE
// (an installation for every user) or of HKEY_CURRENT_USER (for one user);
// the product's own takes at most kUninstallNameField characters of its name.
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const size_t kUninstallNameField = 64;

// The values of the product's Uninstall key beside DisplayName, DisplayIcon,
// UninstallString and the record's digests: the version, publisher and
// address of init.cfg [product] (each only when given), where and when the
// product was installed, its size in KiB, and no Modify or Repair button.
const char kQuietUninstallValue[] = "QuietUninstallString";
const char kDisplayVersionValue[] = "DisplayVersion";
const char kPublisherValue[] = "Publisher";
const char kUrlInfoValue[] = "URLInfoAbout";
const char kInstallLocationValue[] = "InstallLocation";
const char kInstallDateValue[] = "InstallDate";
const char kEstimatedSizeValue[] = "EstimatedSize";
const char kNoModifyValue[] = "NoModify";
const char kNoRepairValue[] = "NoRepair";

// The registry roots by index, as the record and reg.cfg name them.
const char* const kRegistryRoots[4] = {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT", "HKEY_USERS"};
const short kNoRegistryRoot = 4;
const short kCurrentUserRoot = 0;
const short kLocalMachineRoot = 1;

// Whom an installation is for: every user of the machine (Program Files,
// the Uninstall key under HKEY_LOCAL_MACHINE, the common desktop and Start
// menu; administrator rights) or only the user who runs it (the user's own
// programs folder, HKEY_CURRENT_USER and the user's own shortcuts; no
// elevation).
enum InstallScope { kScopeMachine, kScopeUser };
// The root of the scope's Uninstall key, an index of kRegistryRoots.
inline short UninstallRoot(InstallScope scope) { return scope == kScopeUser ? kCurrentUserRoot : kLocalMachineRoot; }

// The root of a reg.cfg [key] entry: the first root, in the order above,
// whose name occurs anywhere in path, when path also has a backslash to end
// its first component. kNoRegistryRoot otherwise: such a value is never
// written.
inline short RegistryRootOf(const char* path) {
    for (short r = 0; r < kNoRegistryRoot; ++r) {
        if (strstr(path, kRegistryRoots[r]))
            return strchr(path, '\\') ? r : kNoRegistryRoot;
    }
    return kNoRegistryRoot;
}

#endif
