// Whether the uninstall record and the list of installed files are the ones
// the installer sealed: their bytes, as read once into memory (the text is
// read from those same bytes, uninst/recordtext.h), against the digests in
// the product's Uninstall key.
#include "uninst/record.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "base/files.h"
#include "base/installed.h"
#include "base/regread.h"
#include "trust/digest.h"

namespace {

// A REG_SZ value of the product's Uninstall key under root; "" when it is
// missing, of another type or longer than size - 1 characters.
std::string UninstallValue(short root, const std::string& key, const char* name, DWORD size = kDigestTextSize) {
    std::vector<char> data(size + 1);
    ReadRegistryString(root, key.c_str(), name, data.data(), data.size());
    return data.data();
}

// True when the seal digest of bytes for key and folder is the stored one;
// a missing value or list never matches.
bool Matches(const std::string& stored, const std::string& key, const std::string& folder, const std::string* bytes) {
    char digest[kDigestTextSize];
    return !stored.empty() && bytes && SealDigest(key.c_str(), bytes->data(), bytes->size(), digest, folder.c_str()) &&
           stored == digest;
}

// The final path of the file at path (opened for nothing but that); "" when
// it cannot be opened.
std::string FinalPathOf(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    char final[MAX_PATH + 16] = "";
    bool ok = h != INVALID_HANDLE_VALUE && FinalPath(h, final, sizeof final);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return ok ? final : "";
}

// This program's own file, "" when its name cannot be had.
std::string ThisProgram() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    return n > 0 && n < sizeof self ? self : "";
}

// True when the key's UninstallString under root names the file
// uninstaller: the key is the one that uninstaller was registered under,
// not another product's whose sealed record was put beside it. The two
// final paths must be the same, so a path spelt another way still matches
// while a second name of the file (a hard link) or a copy elsewhere does
// not. *folder (when given) gets the installation folder the command names.
bool RegistersUninstaller(short root, const std::string& key, const std::string& uninstaller,
                          std::string* folder = nullptr) {
    std::string command = UninstallValue(root, key, "UninstallString", MAX_PATH + 8);
    char named[MAX_PATH];
    if (!FolderOfUninstaller(command.c_str(), named, sizeof named))
        return false;
    if (folder)
        *folder = named;
    std::string own = uninstaller.empty() ? "" : FinalPathOf(uninstaller);
    return !own.empty() && SamePath(own.c_str(), FinalPathOf(command.substr(1, command.size() - 2)).c_str());
}

}  // namespace

bool RegistersThisUninstaller(short root, const std::string& key) {
    return RegistersUninstaller(root, key, ThisProgram());
}

bool RegisteredElsewhere(const UninstallRecord& record, const std::string& recordBytes, const std::string* listBytes,
                         std::string* folder, short root) {
    folder->clear();
    std::string product;
    if (!IsProductUninstallKey(record.productKey, &product) || RegistersThisUninstaller(root, record.productKey))
        return false;
    std::string command = UninstallValue(root, record.productKey, "UninstallString", MAX_PATH + 8);
    char registered[MAX_PATH];
    if (FolderOfUninstaller(command.c_str(), registered, sizeof registered))
        *folder = registered;
    // Bytes the key still seals are the registered installation's own record,
    // put here: not an earlier record of this folder.
    if (Matches(UninstallValue(root, record.productKey, kRecordDigestValue), record.productKey, *folder,
                &recordBytes) &&
        Matches(UninstallValue(root, record.productKey, kFileListDigestValue), record.productKey, *folder, listBytes)) {
        folder->clear();
        return false;
    }
    return true;
}

bool RecordIsSealed(const UninstallRecord& record, const std::string& recordBytes, const std::string* listBytes,
                    std::string* folder, short root, const std::string& uninstaller) {
    std::string product;
    if (!IsProductUninstallKey(record.productKey, &product) ||
        !RegistersUninstaller(root, record.productKey, uninstaller.empty() ? ThisProgram() : uninstaller, folder))
        return false;
    return Matches(UninstallValue(root, record.productKey, kRecordDigestValue), record.productKey, *folder,
                   &recordBytes) &&
           Matches(UninstallValue(root, record.productKey, kFileListDigestValue), record.productKey, *folder,
                   listBytes);
}

RecordOwner OwnerOf(const std::string& productKey, bool forOneUser) {
    std::string product;
    if (!IsProductUninstallKey(productKey, &product) || !RegistersThisUninstaller(kCurrentUserRoot, productKey))
        return kOwnedByMachine;
    if (forOneUser)
        return kOwnedByUser;
    // The elevated run obeys HKEY_LOCAL_MACHINE alone; when only the user's
    // own key names this uninstaller, it is that user's installation.
    return RegistersThisUninstaller(kLocalMachineRoot, productKey) ? kOwnedByMachine : kOwnedByUserOnly;
}
