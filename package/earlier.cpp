// The earlier file list. Its bytes are read once, their digest is checked
// against the registry, and the lines are parsed in place from those same
// bytes, so nothing can change between the check and the use.
#include "package/earlier.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/format.h"
#include "base/installed.h"
#include "base/switches.h"
#include "config/config.h"
#include "platform/win32api.h"
#include "trust/digest.h"

namespace {

struct Listed {
    uint32_t size;
    uint32_t crc;
    const char* relative;  // into the list's bytes
};

struct EarlierList {
    char* text;
    Listed* files;  // sorted by relative path, without case
    size_t count;
};

EarlierList* Held() {
    static EarlierList list;
    return &list;
}

int CompareListed(const void* a, const void* b) {
    return CompareNames(static_cast<const Listed*>(a)->relative, static_cast<const Listed*>(b)->relative);
}

// The whole file at path (at most limit bytes), zero-terminated, in memory
// the caller frees; null when it cannot be read or is larger.
char* ReadBytes(const char* path, uint32_t limit, DWORD* size) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    DWORD high = 0;
    *size = GetFileSize(file, &high);
    char* text = nullptr;
    if (*size != INVALID_FILE_SIZE && high == 0 && *size <= limit)
        text = static_cast<char*>(malloc(*size + 1));
    DWORD got = 0;
    if (text && (!ReadFile(file, text, *size, &got, nullptr) || got != *size)) {
        free(text);
        text = nullptr;
    }
    CloseHandle(file);
    if (text)
        text[*size] = '\0';
    return text;
}

// The FileListDigest value of productKey matches the seal digest of the
// bytes for that key.
bool DigestMatches(const char* productKey, const char* text, DWORD size) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, productKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    char stored[kDigestTextSize + 1] = "";
    DWORD type = 0, length = kDigestTextSize;
    LONG status = RegQueryValueExA(key, kFileListDigestValue, nullptr, &type, reinterpret_cast<BYTE*>(stored), &length);
    RegCloseKey(key);
    stored[length < kDigestTextSize ? length : kDigestTextSize] = '\0';
    char digest[kDigestTextSize];
    return status == ERROR_SUCCESS && type == REG_SZ && SealDigest(productKey, text, size, digest) &&
           strcmp(stored, digest) == 0;
}

// Parses every line of the held text into the held table; lines that do
// not parse are passed over. False when memory ran out.
bool ParseHeld(EarlierList* list) {
    size_t lines = 1;
    for (const char* c = list->text; *c; ++c)
        lines += *c == '\n';
    list->files = static_cast<Listed*>(malloc(lines * sizeof(Listed)));
    if (!list->files)
        return false;
    for (char* line = list->text; *line != '\0';) {
        char* end = line + strcspn(line, "\r\n");
        char* next = end + strspn(end, "\r\n");
        *end = '\0';
        Listed f;
        if (ParseListLine(line, &f.size, &f.crc, &f.relative))
            list->files[list->count++] = f;
        line = next;
    }
    qsort(list->files, list->count, sizeof(Listed), CompareListed);
    return true;
}

} // namespace

int CompareNames(const char* a, const char* b) {
    for (;; ++a, ++b) {
        int x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        x = (x >= 'a' && x <= 'z') ? x - 32 : x;
        y = (y >= 'a' && y <= 'z') ? y - 32 : y;
        if (x != y || x == 0)
            return x - y;
    }
}

bool ParseListLine(char* line, uint32_t* size, uint32_t* crc, const char** relative) {
    size_t length = strlen(line), at = 0;
    if (!ParseFileListLine(line, length, size, crc, &at))
        return false;
    *relative = line + at;
    return IsSafeMemberPath(*relative, length - at);
}

bool SameProduct(const char* recordPath, const char* productKey) {
    UINT max = GetPrivateProfileIntA("reg", "max", 0, recordPath);
    if (max > static_cast<UINT>(kMaxListEnd))
        max = kMaxListEnd;
    for (UINT n = 1; n <= max; ++n) {
        char number[16], entry[MAX_PATH];
        snprintf(number, sizeof number, "%u", n);
        GetPrivateProfileStringA("reg", number, "", entry, sizeof entry, recordPath);
        if (entry[0] != '\0' && CompareNames(entry, productKey) == 0)
            return true;
    }
    return false;
}

size_t EarlierRead(const char* destination, const char* productKey) {
    EarlierForget();
    char record[MAX_PATH], path[MAX_PATH];
    if (!productKey || productKey[0] == '\0' ||
        snprintf(record, sizeof record, "%s\\%s\\%s", destination, kRecordFolder, kRecordFile) >= MAX_PATH ||
        snprintf(path, sizeof path, "%s\\%s\\%s", destination, kRecordFolder, kFileListFile) >= MAX_PATH)
        return 0;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return 0;
    const char* why = nullptr;
    DWORD size = 0;
    EarlierList* list = Held();
    if (!SameProduct(record, productKey))
        why = "another product's";
    else if (!(list->text = ReadBytes(path, kEarlierListLimit, &size)))
        why = "cannot be read or is too large";
    else if (!DigestMatches(productKey, list->text, size))
        why = "its digest is missing or differs";
    else if (!ParseHeld(list))
        why = "no memory";
    if (why) {
        EarlierForget();
        LogLine("earlier file list %s: not used, %s", path, why);
        return 0;
    }
    LogLine("earlier file list %s: %lu files", path, static_cast<unsigned long>(list->count));
    return list->count;
}

bool EarlierFind(const char* relative, uint32_t* size, uint32_t* crc) {
    EarlierList* list = Held();
    if (list->count == 0)
        return false;
    Listed key{0, 0, relative};
    const Listed* found = static_cast<const Listed*>(bsearch(&key, list->files, list->count, sizeof(Listed), CompareListed));
    if (!found)
        return false;
    *size = found->size;
    *crc = found->crc;
    return true;
}

void EarlierForget() {
    EarlierList* list = Held();
    free(list->text);
    free(list->files);
    memset(list, 0, sizeof *list);
}
