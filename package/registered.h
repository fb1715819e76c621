// The product's installation as its Uninstall key registers it (under
// HKEY_LOCAL_MACHINE, where only administrators write, or for one user
// under HKEY_CURRENT_USER): the folder whose
// uninstaller the key starts, and the version it holds. The destination is
// proposed from it, an older version over a newer one is told from it, and
// an installation into another folder moves the product away from it.
#ifndef BRONDALE_PACKAGE_REGISTERED_H
#define BRONDALE_PACKAGE_REGISTERED_H

#include <cstddef>

#include "platform/win32api.h"

struct RegisteredInstallation {
    char folder[MAX_PATH];  // the folder its UninstallString names, "" when none is registered
    char version[64];       // its DisplayVersion, "" when it has none (or a longer one)
};

// Reads what productKey (below root, an index of kRegistryRoots) registers;
// true when its
// UninstallString names a folder's uninstaller (FolderOfUninstaller,
// base/installed.h). A missing key gives both fields "".
bool ReadRegistered(short root, const char* productKey, RegisteredInstallation* out);

// What this package's version is to the registered one.
enum VersionOrder {
    kNoVersionRule,  // one of them is missing or not one to four numbers: no rule applies
    kSameOrNewer,
    kOlderThanInstalled,  // a downgrade
};
VersionOrder CompareWithInstalled(const char* ours, const char* installed);
// This package's version (init.cfg [product] Version) into ours
// (kCfgValueSize bytes) and the one its product's key registers into
// installed (64 bytes, under root), compared.
VersionOrder PackageAgainstRegistered(short root, char* ours, char* installed);

// How a new destination lies to the registered folder, both given as
// paths without a trailing backslash (the final paths of their handles
// where the folders exist, so that short names and case say nothing).
enum FolderRelation {
    kSameFolder,
    kFoldersApart,
    kFoldersNested,  // one lies inside the other
};
FolderRelation RelateFolders(const char* registered, const char* destination);

// The final path of an existing folder (through a handle, so another
// spelling of the same folder reads the same), else path itself with
// trailing backslashes cut, into out (MAX_PATH bytes).
void FolderIdentity(const char* path, char* out);

#endif
