// The seal of the uninstall record, stored beside the Uninstall entry, and
// the seal an earlier installation left there.
#include "finish/seal.h"

#include <cstdio>
#include <cstring>

#include "base/installed.h"
#include "base/regread.h"
#include "base/switches.h"
#include "finish/record.h"
#include "finish/recordcopy.h"
#include "finish/registry.h"
#include "package/earlier.h"

namespace {

void StoreDigest(short root, const char* key, const char* name, const char* digest, const char* file) {
    char value[kDigestTextSize];
    snprintf(value, sizeof value, "%s", digest);
    LONG result = value[0] ? addregister(key, name, reinterpret_cast<unsigned char*>(value), 1, root,
                                         static_cast<int>(strlen(value)), REG_SZ)
                           : ERROR_WRITE_FAULT;
    LogLine("digest %s of %s: %s (%ld)", name, file, result == ERROR_SUCCESS ? "written" : "failed",
            static_cast<long>(result));
}

}  // namespace

void SealRecord(const Installation& installation) {
    const char* key = installation.productKey;
    const char* record = installation.record;
    const char* destination = installation.destination;
    char list[MAX_PATH];
    if (key[0] == '\0' || record[0] == '\0' ||
        snprintf(list, sizeof list, "%s\\%s\\%s", destination, kRecordFolder, kFileListFile) >=
            static_cast<int>(sizeof list))
        return;
    char digest[kDigestTextSize];
    WriteSealedRecord(record, key, destination, digest);
    StoreDigest(installation.root, key, kRecordDigestValue, digest, record);
    StoreDigest(installation.root, key, kFileListDigestValue, FileListSeal(), list);
}

bool SealedBefore(short root, const char* key, const char* destination) {
    return EarlierFound()->seal[0] != '\0' && RegistersUninstallerOf(root, key, destination);
}
