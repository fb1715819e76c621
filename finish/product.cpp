// The product's Uninstall key: the path every part that writes or seals it
// takes from here, and the values that register the product.
#include "finish/product.h"

#include <cstdio>
#include <cstring>

#include "base/installed.h"
#include "base/scratch.h"
#include "base/switches.h"
#include "config/config.h"
#include "finish/record.h"
#include "finish/registry.h"

void ProductKeyPath(char* key, size_t size) {
    char name[kCfgValueSize];
    GetFromCfg("1", name, kSecCfg, kInitCfg);
    if (name[0] == '\0')
        key[0] = '\0';
    else
        snprintf(key, size, "%s%.*s", kUninstallKey, static_cast<int>(kUninstallNameField), name);
}

namespace {

LONG SetText(char* key, const char* name, char* text) {
    return addregister(key, name, reinterpret_cast<unsigned char*>(text), 1, 1, static_cast<int>(strlen(text)),
                       REG_SZ);
}

} // namespace

LONG DodajDlListy() {
    char name[kCfgValueSize];
    GetFromCfg("1", name, kSecCfg, kInitCfg);
    // Without a name the key would be the Uninstall key itself, which holds
    // every product's entry: nothing is registered.
    if (name[0] == '\0')
        return ERROR_SUCCESS;
    char key[MAX_PATH];
    ProductKeyPath(key, sizeof key);
    WriteToUnInstall(true, key, nullptr);
    SetText(key, "DisplayName", name);
    char destination[MAX_PATH];
    char uninstaller[MAX_PATH + 32];
    dircfg("10", destination, 0, sizeof destination);
    snprintf(uninstaller, sizeof uninstaller, "\"%s%s\"", destination, kUninstallerCommand);
    SetText(key, "DisplayIcon", uninstaller);
    LONG result = SetText(key, "UninstallString", uninstaller);
    LogLine("Uninstall key HKEY_LOCAL_MACHINE\\%s: %s (%ld)", key, result == ERROR_SUCCESS ? "written" : "failed",
            static_cast<long>(result));
    // Deployment tools remove a product without questions through this
    // value, beside the interactive one.
    strncat(uninstaller, " /S", sizeof uninstaller - 1 - strlen(uninstaller));
    SetText(key, "QuietUninstallString", uninstaller);
    return result;
}
