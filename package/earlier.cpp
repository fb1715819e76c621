// The earlier file list. Its bytes are read once, their digest is checked
// against the seal in the registry, and the lines are parsed in place from
// those same bytes, so nothing can change between the check and the use:
// not during the program section, and not up to the finish's merge.
#include "package/earlier.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/format.h"
#include "base/installed.h"
#include "base/regread.h"
#include "base/switches.h"
#include "base/ascii.h"
#include "base/files.h"
#include "config/config.h"
#include "package/heldfiles.h"
#include "package/heldtree.h"
#include "package/registered.h"
#include "platform/win32api.h"
#include "trust/digest.h"

namespace {

EarlierInstallation* Held() {
    static EarlierInstallation earlier;
    return &earlier;
}

int CompareByName(const void* a, const void* b) {
    return CompareNames((*static_cast<const EarlierFile* const*>(a))->relative,
                        (*static_cast<const EarlierFile* const*>(b))->relative);
}

// The whole file at path (at most limit bytes), zero-terminated, in memory
// the caller frees; null when it cannot be read or is larger. Opened from
// its held folder, as itself.
char* ReadBytes(const char* path, uint32_t limit, DWORD* size) {
    HANDLE file = HeldOpenExisting(path, GENERIC_READ, FILE_SHARE_READ);
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

// The FileListDigest value of productKey (under root) into seal when it
// has a digest's length, else "".
void ReadSeal(short root, const char* productKey, char seal[kDigestTextSize]) {
    // Room for a longer value, which is then no digest of ours.
    char stored[kDigestTextSize + 8];
    ReadRegistryString(root, productKey, kFileListDigestValue, stored, sizeof stored);
    seal[0] = '\0';
    if (strlen(stored) == kDigestTextSize - 1)
        memcpy(seal, stored, kDigestTextSize);
}

// Parses every line of the held text into the held tables; lines that do
// not parse are passed over. False when memory ran out.
bool ParseHeld(EarlierInstallation* list) {
    size_t lines = 1;
    for (const char* c = list->text; *c; ++c)
        lines += *c == '\n';
    list->files = static_cast<EarlierFile*>(malloc(lines * sizeof(EarlierFile)));
    list->byName = static_cast<const EarlierFile**>(malloc(lines * sizeof(const EarlierFile*)));
    if (!list->files || !list->byName)
        return false;
    for (char* line = list->text; *line != '\0';) {
        char* end = line + strcspn(line, "\r\n");
        char* next = end + strspn(end, "\r\n");
        *end = '\0';
        EarlierFile f;
        if (ParseListLine(line, &f.size, &f.crc, &f.relative))
            list->files[list->count++] = f;
        line = next;
    }
    for (size_t i = 0; i < list->count; ++i)
        list->byName[i] = &list->files[i];
    qsort(list->byName, list->count, sizeof(const EarlierFile*), CompareByName);
    return true;
}

// Frees the list's bytes and tables; the seal and the verdict stay.
void DropList(EarlierInstallation* list) {
    free(list->text);
    free(list->files);
    free(list->byName);
    list->text = nullptr;
    list->files = nullptr;
    list->byName = nullptr;
    list->count = 0;
}

}  // namespace

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

namespace {

// Whether text is the list sealed by seal for key (under root): bound to the
// folder the key registers, or (sealed by an earlier version) to the key
// alone.
bool SealChecks(short root, const char* key, const char* text, size_t size, const char* seal) {
    RegisteredInstallation registered;
    char digest[kDigestTextSize];
    bool bound = ReadRegistered(root, key, &registered) && SealDigest(key, text, size, digest, registered.folder) &&
                 strcmp(seal, digest) == 0;
    return bound || (SealDigest(key, text, size, digest) && strcmp(seal, digest) == 0);
}

}  // namespace

bool RegistersUninstallerOf(short root, const char* productKey, const char* destination) {
    RegisteredInstallation registered;
    return ReadRegistered(root, productKey, &registered) &&
           RelateFolders(registered.folder, destination) == kSameFolder;
}

size_t EarlierRead(const char* destination, const char* productKey, short root) {
    EarlierForget();
    if (!productKey || productKey[0] == '\0')
        return 0;
    EarlierInstallation* list = Held();
    ReadSeal(root, productKey, list->seal);
    // The list is read from the destination's held folders.
    if (!TreeHoldRoot(destination))
        return 0;
    char record[MAX_PATH], path[MAX_PATH];
    if (snprintf(record, sizeof record, "%s\\%s\\%s", destination, kRecordFolder, kRecordFile) >= MAX_PATH ||
        snprintf(path, sizeof path, "%s\\%s\\%s", destination, kRecordFolder, kFileListFile) >= MAX_PATH ||
        GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return 0;
    const char* why = nullptr;
    DWORD size = 0;
    if (!SameProduct(record, productKey)) {
        why = "another product's";
    } else if (!(list->text = ReadBytes(path, kEarlierListLimit, &size))) {
        why = "cannot be read or is too large";
    } else if (!SealChecks(root, productKey, list->text, size, list->seal)) {
        why = "its digest is missing or differs";
        list->listChanged = list->seal[0] != '\0';
    } else if (!ParseHeld(list)) {
        why = "no memory";
    }
    if (why) {
        DropList(list);
        LogLine("earlier file list %s: not used, %s", path, why);
        return 0;
    }
    LogLine("earlier file list %s: %lu files", path, static_cast<unsigned long>(list->count));
    return list->count;
}

const EarlierInstallation* EarlierFound() { return Held(); }

bool EarlierFind(const char* relative, uint32_t* size, uint32_t* crc) {
    EarlierInstallation* list = Held();
    if (list->count == 0)
        return false;
    EarlierFile wanted{0, 0, relative};
    const EarlierFile* key = &wanted;
    const EarlierFile* const* found = static_cast<const EarlierFile* const*>(
        bsearch(&key, list->byName, list->count, sizeof(const EarlierFile*), CompareByName));
    if (!found)
        return false;
    *size = (*found)->size;
    *crc = (*found)->crc;
    return true;
}

void EarlierForget() {
    EarlierInstallation* list = Held();
    DropList(list);
    list->seal[0] = '\0';
    list->listChanged = false;
}
