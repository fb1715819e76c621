// Reading the uninstall record and the list of installed files. The record
// is an INI file; [lnk] and [reg] count from 1 to "max", [RunU] from 1 to
// one less than [maxU] "1", with gaps for empty entries.
#include "uninst/record.h"

#include <windows.h>

#include "trust/digest.h"

namespace {

// A value of the record; *present is false when the key is absent.
std::string Read(const std::string& file, const char* section, int key, bool* present = nullptr) {
    const char kAbsent[] = "\x01<absent>";
    char number[16], value[1024];
    wsprintfA(number, "%d", key);
    GetPrivateProfileStringA(section, number, kAbsent, value, sizeof value, file.c_str());
    bool found = lstrcmpA(value, kAbsent) != 0;
    if (present)
        *present = found;
    return found ? value : "";
}

int Count(const std::string& file, const char* section, const char* key) {
    // A count from an edited record is bounded: nothing here needs more.
    int n = static_cast<int>(GetPrivateProfileIntA(section, key, 0, file.c_str()));
    return n < 0 ? 0 : n > 10000 ? 10000 : n;
}

} // namespace

bool ReadRecord(const std::string& path, UninstallRecord* record) {
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    *record = UninstallRecord();
    int shortcuts = Count(path, "lnk", "max");
    for (int i = 1; i <= shortcuts; ++i) {
        std::string entry = Read(path, "lnk", i);
        if (!entry.empty())
            record->shortcuts.push_back(entry);
    }
    int keys = Count(path, "reg", "max");
    if (keys >= 1)
        record->productKey = Read(path, "reg", 1);
    for (int i = 2; i <= keys; ++i) {
        RecordedValue value;
        value.key = Read(path, "reg", i);
        value.name = Read(path, "sub", i, &value.named);
        record->values.push_back(value);
    }
    int runEnd = Count(path, "maxU", "1");
    for (int k = 1; k < runEnd; ++k) {
        std::string entry = Read(path, "RunU", k);
        if (!entry.empty())
            record->runFirst.push_back(entry);
    }
    return true;
}

std::vector<ListedFile> ReadFileList(const std::string& path) {
    std::vector<ListedFile> files;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return files;
    std::string text;
    char block[4096];
    DWORD got = 0;
    while (ReadFile(h, block, sizeof block, &got, nullptr) && got > 0)
        text.append(block, got);
    CloseHandle(h);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        ListedFile file;
        if (ParseListLine(line, &file))
            files.push_back(file);
        at = end + 1;
    }
    return files;
}

namespace {

// A REG_SZ value of the product's Uninstall key; "" when it is missing, of
// another type or longer than size - 1 characters.
std::string UninstallValue(const std::string& key, const char* name, DWORD size = kDigestTextSize) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return "";
    std::string data(size + 1, '\0');
    DWORD type = 0, got = size;
    LONG status = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &got);
    RegCloseKey(h);
    if (status != ERROR_SUCCESS || type != REG_SZ || got > size)
        return "";
    data.resize(got);
    return data.c_str();
}

// True when the file's seal digest for key is the stored one; a missing
// value or file never matches.
bool Matches(const std::string& stored, const std::string& key, const std::string& file) {
    char digest[kDigestTextSize];
    return !stored.empty() && SealFileDigest(key.c_str(), file.c_str(), digest) && stored == digest;
}

// The file's volume and index; false when it cannot be opened.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = GetFileInformationByHandle(h, info) != FALSE;
    CloseHandle(h);
    return ok;
}

// True when the key's UninstallString names this very program: the key is
// the one this uninstaller was registered under, not another product's
// whose sealed record was put beside it. Files are compared by identity,
// so a path spelt another way still matches.
bool RegistersThisUninstaller(const std::string& key) {
    std::string command = UninstallValue(key, "UninstallString", MAX_PATH + 8);
    if (command.size() < 3 || command.front() != '"' || command.back() != '"')
        return false;
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    BY_HANDLE_FILE_INFORMATION registered, own;
    return n > 0 && n < sizeof self && FileIdentity(command.substr(1, command.size() - 2), &registered) &&
           FileIdentity(self, &own) && registered.dwVolumeSerialNumber == own.dwVolumeSerialNumber &&
           registered.nFileIndexHigh == own.nFileIndexHigh && registered.nFileIndexLow == own.nFileIndexLow;
}

} // namespace

bool RecordIsSealed(const UninstallRecord& record, const std::string& recordPath, const std::string& listPath) {
    std::string product;
    if (!IsProductUninstallKey(record.productKey, &product) || !RegistersThisUninstaller(record.productKey))
        return false;
    return Matches(UninstallValue(record.productKey, kRecordDigestValue), record.productKey, recordPath) &&
           Matches(UninstallValue(record.productKey, kFileListDigestValue), record.productKey, listPath);
}
