// The digests of the uninstall record, stored beside the Uninstall entry.
#include "finish/seal.h"

#include <cstdio>
#include <cstring>

#include "config/config.h"
#include "finish/finish.h"
#include "shell/scratch.h"
#include "trust/digest.h"

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// The product name's share of the Uninstall key path, as registered.
const int kKeyNameField = 64;

void StoreDigest(char* key, const char* name, const char* file) {
    char digest[kDigestTextSize];
    if (FileDigest(file, digest))
        addregister(key, name, reinterpret_cast<unsigned char*>(digest), 1, 1, static_cast<int>(strlen(digest)),
                    REG_SZ);
}

} // namespace

void SealRecord() {
    char product[kCfgValueSize];
    GetFromCfg("1", product, kSecCfg, kInitCfg);
    char record[MAX_PATH], destination[MAX_PATH], list[MAX_PATH], key[MAX_PATH];
    dircfg("11", record, 0, sizeof record);
    dircfg("10", destination, 0, sizeof destination);
    if (product[0] == '\0' || record[0] == '\0' ||
        snprintf(list, sizeof list, "%s\\UnInstall\\Files.lst", destination) >= static_cast<int>(sizeof list))
        return;
    snprintf(key, sizeof key, "%s%.*s", kUninstallKey, kKeyNameField, product);
    StoreDigest(key, kRecordDigestValue, record);
    StoreDigest(key, kFileListDigestValue, list);
}
