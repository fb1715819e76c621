// What an installation leaves behind, by name: the record folder and its
// files, the uninstaller's name in the package, the product's Uninstall key
// and the registry roots a [key] entry may name. The installer, the
// uninstaller and the packing tool all spell these from here.
#ifndef BRONDALE_BASE_INSTALLED_H
#define BRONDALE_BASE_INSTALLED_H

#include <cstddef>
#include <cstring>

// Below the destination folder.
const char kRecordFolder[] = "UnInstall";
const char kRecordFile[] = "UnInst.cfg";
const char kFileListFile[] = "Files.lst";
const char kUninstallerFile[] = "UnInst.exe";
const char kLanguageRecordFile[] = "Language.lng";
// The uninstaller as the Install section carries it.
const char kUninstallerInPackage[] = "UnInst.dat";
// The uninstaller as the Uninstall key and the Start menu name it, relative
// to the destination (the key's text spells the folder "Uninstall").
const char kUninstallerCommand[] = "\\Uninstall\\UnInst.exe";
const char kUninstallerMenuEntry[] = "UnInstall\\UnInst.exe";

// Every product's Uninstall key lies below this key of HKEY_LOCAL_MACHINE;
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
const char* const kRegistryRoots[4] = {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT",
                                       "HKEY_USERS"};
const short kNoRegistryRoot = 4;

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
