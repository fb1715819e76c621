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

// A REG_SZ value of the product's Uninstall key; "" when it is missing, of
// another type or longer than size - 1 characters.
std::string UninstallValue(const std::string& key, const char* name, DWORD size = kDigestTextSize) {
    std::vector<char> data(size + 1);
    ReadMachineString(key.c_str(), name, data.data(), data.size());
    return data.data();
}

// True when the seal digest of bytes for key and folder is the stored one;
// a missing value or list never matches.
bool Matches(const std::string& stored, const std::string& key, const std::string& folder,
             const std::string* bytes) {
    char digest[kDigestTextSize];
    return !stored.empty() && bytes &&
           SealDigest(key.c_str(), bytes->data(), bytes->size(), digest, folder.c_str()) && stored == digest;
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

// True when the key's UninstallString names this very program: the key is
// the one this uninstaller was registered under, not another product's
// whose sealed record was put beside it, and the program runs from the
// registered place (a hard link elsewhere has another final path). *folder
// gets the installation folder the command names.
bool RegistersThisUninstaller(const std::string& key, std::string* folder) {
    std::string command = UninstallValue(key, "UninstallString", MAX_PATH + 8);
    size_t tail = strlen(kUninstallerCommand);
    if (command.size() < tail + 3 || command.front() != '"' || command.back() != '"')
        return false;
    std::string registered = command.substr(1, command.size() - 2);
    if (lstrcmpiA(registered.substr(registered.size() - tail).c_str(), kUninstallerCommand) != 0)
        return false;
    *folder = registered.substr(0, registered.size() - tail);
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string own = n > 0 && n < sizeof self ? FinalPathOf(self) : "";
    return !own.empty() && SamePath(own.c_str(), FinalPathOf(registered).c_str());
}

}  // namespace

bool RecordIsSealed(const UninstallRecord& record, const std::string& recordBytes, const std::string* listBytes,
                    std::string* folder) {
    std::string product;
    if (!IsProductUninstallKey(record.productKey, &product) || !RegistersThisUninstaller(record.productKey, folder))
        return false;
    return Matches(UninstallValue(record.productKey, kRecordDigestValue), record.productKey, *folder, &recordBytes) &&
           Matches(UninstallValue(record.productKey, kFileListDigestValue), record.productKey, *folder, listBytes);
}
