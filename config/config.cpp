// The configuration accessor. Nothing is cached: a value written to a file
// (the uninstaller's entry appended to lnk.cfg) is seen by the next read.
#include "config/config.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32api.h"
#include "base/installed.h"
#include "base/scratch.h"

namespace {

const char kFiles[3][10] = {"\\init.cfg", "\\lnk.cfg", "\\reg.cfg"};
// The fourteen sections of the configuration files in their order, then
// the product's identity in init.cfg.
const char kSections[15][8] = {"cfg",  "index", "Run",  "index1", "index2", "desktop", "menu",   "key",
                               "name", "value", "type", "silent", "RunU",   "dynam",   "product"};
static_assert(sizeof kSections == 120, "fifteen 8-byte section names");

}  // namespace

bool CfgPath(short file, char* path) {
    path[0] = '\0';
    if (file < 0 || file > 2)
        return false;
    ScratchRead(kScratchInstall, path, kCfgValueSize);
    strncat(path, kFiles[file], kCfgValueSize - 1 - strlen(path));
    return true;
}

void GetFromCfg(const char* key, char* dest, short section, short file) {
    dest[0] = '\0';
    char path[kCfgValueSize];
    if (section < 0 || section > kSecProduct || !CfgPath(file, path))
        return;
    GetPrivateProfileStringA(kSections[section], key, "", dest, kCfgValueSize, path);
    UINT quoted = GetPrivateProfileIntA("line", key, 0, path);
    if (quoted != 0 && section == kSecValue) {
        size_t length = strlen(dest);
        memmove(dest + 1, dest, length + 1);
        dest[0] = '"';
        dest[length + 1] = '"';
        dest[length + 2] = '\0';
    }
}

int CfgListEnd(short indexSection, short file) {
    char value[kCfgValueSize];
    GetFromCfg("max", value, indexSection, file);
    int end = atoi(value);
    return end > kMaxListEnd ? kMaxListEnd : end;
}

void ProductKeyFor(const char* name, char* key, size_t size) {
    if (name[0] == '\0')
        key[0] = '\0';
    else
        snprintf(key, size, "%s%.*s", kUninstallKey, static_cast<int>(kUninstallNameField), name);
}

void ProductKeyPath(char* key, size_t size) {
    char name[kCfgValueSize];
    GetFromCfg("1", name, kSecCfg, kInitCfg);
    ProductKeyFor(name, key, size);
}
