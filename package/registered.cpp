// The registered installation: read from the product's Uninstall key, judged
// by plain functions of text that both builds test.
#include "package/registered.h"

#include <cstdio>
#include <cstring>

#include "base/files.h"
#include "base/installed.h"
#include "base/regread.h"
#include "base/version.h"
#include "config/config.h"

namespace {

// ASCII letters compare without case, as Windows names do.
bool SameLetters(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y)
            return false;
    }
    return true;
}

// True when inner lies below outer (outer followed by a backslash).
bool Inside(const char* inner, const char* outer) {
    size_t n = strlen(outer);
    return strlen(inner) > n + 1 && inner[n] == '\\' && SameLetters(inner, outer, n);
}

size_t WithoutTrailingSlashes(const char* path) {
    size_t n = strlen(path);
    while (n > 3 && path[n - 1] == '\\')
        --n;
    return n;
}

}  // namespace

bool ReadRegistered(short root, const char* productKey, RegisteredInstallation* out) {
    out->folder[0] = out->version[0] = '\0';
    if (!productKey || productKey[0] == '\0')
        return false;
    char command[MAX_PATH + 32];
    ReadRegistryString(root, productKey, "UninstallString", command, sizeof command);
    ReadRegistryString(root, productKey, kDisplayVersionValue, out->version, sizeof out->version);
    return FolderOfUninstaller(command, out->folder, sizeof out->folder);
}

VersionOrder CompareWithInstalled(const char* ours, const char* installed) {
    uint16_t a[4], b[4];
    if (!ParseVersionText(ours, strlen(ours), a) || !ParseVersionText(installed, strlen(installed), b))
        return kNoVersionRule;
    return CompareVersions(a, b) < 0 ? kOlderThanInstalled : kSameOrNewer;
}

VersionOrder PackageAgainstRegistered(short root, char* ours, char* installed) {
    GetFromCfg(kProductVersion, ours, kSecProduct, kInitCfg);
    char key[MAX_PATH];
    ProductKeyPath(key, sizeof key);
    RegisteredInstallation registered;
    ReadRegistered(root, key, &registered);
    snprintf(installed, sizeof registered.version, "%s", registered.version);
    return CompareWithInstalled(ours, installed);
}

FolderRelation RelateFolders(const char* registered, const char* destination) {
    char a[MAX_PATH], b[MAX_PATH];
    snprintf(a, sizeof a, "%.*s", static_cast<int>(WithoutTrailingSlashes(registered)), registered);
    snprintf(b, sizeof b, "%.*s", static_cast<int>(WithoutTrailingSlashes(destination)), destination);
    if (SamePath(a, b))
        return kSameFolder;
    // A drive's root holds every folder of its drive.
    if (strlen(a) == 3 || strlen(b) == 3 || Inside(a, b) || Inside(b, a))
        return kFoldersNested;
    return kFoldersApart;
}

void FolderIdentity(const char* path, char* out) {
    HANDLE folder = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    bool final = folder != INVALID_HANDLE_VALUE && FinalPath(folder, out, MAX_PATH);
    if (folder != INVALID_HANDLE_VALUE)
        CloseHandle(folder);
    if (!final)
        snprintf(out, MAX_PATH, "%s", path);
    size_t n = WithoutTrailingSlashes(out);
    out[n] = '\0';
}
