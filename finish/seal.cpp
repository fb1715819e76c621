// The seal of the uninstall record, stored beside the Uninstall entry, and
// the seal an earlier installation left there.
#include "finish/seal.h"

#include <cstdio>
#include <cstring>

#include "base/installed.h"
#include "base/switches.h"
#include "finish/record.h"
#include "finish/recordcopy.h"
#include "finish/registry.h"

namespace {

void StoreDigest(const char* key, const char* name, const char* digest, const char* file) {
    char value[kDigestTextSize];
    snprintf(value, sizeof value, "%s", digest);
    LONG result = value[0] ? addregister(key, name, reinterpret_cast<unsigned char*>(value), 1, 1,
                                         static_cast<int>(strlen(value)), REG_SZ)
                           : ERROR_WRITE_FAULT;
    LogLine("digest %s of %s: %s (%ld)", name, file, result == ERROR_SUCCESS ? "written" : "failed",
            static_cast<long>(result));
}

// A REG_SZ value of HKEY_LOCAL_MACHINE\key into out; "" when it is missing,
// of another type or longer than out holds.
void ReadText(const char* key, const char* name, char* out, DWORD size) {
    out[0] = '\0';
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return;
    DWORD type = 0, got = size - 1;
    LONG status = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &got);
    RegCloseKey(h);
    out[status == ERROR_SUCCESS && type == REG_SZ && got < size ? got : 0] = '\0';
}

} // namespace

void SealRecord(const Installation& installation) {
    const char* key = installation.productKey;
    const char* record = installation.record;
    const char* destination = installation.destination;
    char list[MAX_PATH];
    if (key[0] == '\0' || record[0] == '\0' ||
        snprintf(list, sizeof list, "%s\\%s\\%s", destination, kRecordFolder, kFileListFile) >= static_cast<int>(sizeof list))
        return;
    char digest[kDigestTextSize];
    WriteSealedRecord(record, key, digest);
    StoreDigest(key, kRecordDigestValue, digest, record);
    StoreDigest(key, kFileListDigestValue, FileListSeal(), list);
}

void EarlierListSeal(const char* key, const char* destination, char digest[kDigestTextSize]) {
    digest[0] = '\0';
    char registered[MAX_PATH + 8], expected[MAX_PATH + 32];
    ReadText(key, "UninstallString", registered, sizeof registered);
    snprintf(expected, sizeof expected, "\"%s%s\"", destination, kUninstallerCommand);
    // The text DodajDlListy writes for this destination; case does not
    // matter to Windows names.
    if (registered[0] == '\0' || lstrcmpiA(registered, expected) != 0)
        return;
    // Room for a longer value, which is then no digest of ours.
    char stored[kDigestTextSize + 8];
    ReadText(key, kFileListDigestValue, stored, sizeof stored);
    if (strlen(stored) == kDigestTextSize - 1)
        memcpy(digest, stored, kDigestTextSize);
}
