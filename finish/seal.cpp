// The digests of the uninstall record, stored beside the Uninstall entry.
#include "finish/seal.h"

#include <cstdio>
#include <cstring>

#include "base/installed.h"
#include "finish/product.h"
#include "finish/registry.h"
#include "base/scratch.h"
#include "base/switches.h"
#include "trust/digest.h"

namespace {

void StoreDigest(char* key, const char* name, const char* file) {
    char digest[kDigestTextSize];
    bool read = FileDigest(file, digest);
    LONG result = read ? addregister(key, name, reinterpret_cast<unsigned char*>(digest), 1, 1,
                                     static_cast<int>(strlen(digest)), REG_SZ)
                       : ERROR_READ_FAULT;
    LogLine("digest %s of %s: %s (%ld)", name, file, result == ERROR_SUCCESS ? "written" : "failed",
            static_cast<long>(result));
}

} // namespace

void SealRecord() {
    char record[MAX_PATH], destination[MAX_PATH], list[MAX_PATH], key[MAX_PATH];
    ProductKeyPath(key, sizeof key);
    dircfg("11", record, 0, sizeof record);
    dircfg("10", destination, 0, sizeof destination);
    if (key[0] == '\0' || record[0] == '\0' ||
        snprintf(list, sizeof list, "%s\\%s\\%s", destination, kRecordFolder, kFileListFile) >= static_cast<int>(sizeof list))
        return;
    StoreDigest(key, kRecordDigestValue, record);
    StoreDigest(key, kFileListDigestValue, list);
}
