// The user's half's check of the elevated half's report.
#include "finish/launchlist.h"

#include <cstdio>
#include <cstring>

#include "base/format.h"
#include "base/installed.h"
#include "base/regread.h"
#include "config/config.h"
#include "platform/win32api.h"
#include "trust/halves.h"

namespace {

// True when value is [Run] i of init.cfg for an i whose [silent] is flag.
bool NamedInRun(const char* value, char flag) {
    int end = CfgListEnd(kSecIndex, kInitCfg);
    for (int i = 1; i < end; ++i) {
        char number[16], entry[kCfgValueSize], silent[kCfgValueSize];
        snprintf(number, sizeof number, "%d", i);
        GetFromCfg(number, entry, kSecRun, kInitCfg);
        GetFromCfg(number, silent, kSecSilent, kInitCfg);
        if (silent[0] == flag && silent[1] == '\0' && strcmp(entry, value) == 0)
            return true;
    }
    return false;
}

bool EntryNamed(const char* name, const char* value) {
    if (!IsSafeMemberPath(value, strlen(value)))
        return false;
    if (strcmp(name, "info") == 0) {
        char info[kCfgValueSize];
        GetFromCfg("3", info, kSecCfg, kInitCfg);
        return strcmp(info, value) == 0;
    }
    if (strcmp(name, "always") == 0 || strcmp(name, "chosen") == 0)
        return NamedInRun(value, name[0] == 'a' ? '1' : '0');
    return false;
}

}  // namespace

LaunchListVerdict CheckLaunchList(const char* bytes, size_t size, char* destination) {
    destination[0] = '\0';
    char name[16], value[MAX_PATH];
    size_t at = 0;
    if (!NextReportEntry(bytes, size, &at, name, value))
        return kListEmpty;
    char key[MAX_PATH], installed[MAX_PATH];
    ProductKeyPath(key, sizeof key);
    if (strcmp(name, "destination") != 0 || key[0] == '\0' ||
        !ReadRegistryString(kLocalMachineRoot, key, kInstallLocationValue, installed, sizeof installed) ||
        strcmp(installed, value) != 0)
        return kListWrongDestination;
    char folder[MAX_PATH];
    snprintf(folder, sizeof folder, "%s", value);
    int entries = 0;
    while (NextReportEntry(bytes, size, &at, name, value))
        if (!EntryNamed(name, value) || ++entries > kMaxListEnd)
            return kListStranger;
    if (entries == 0)
        return kListEmpty;
    snprintf(destination, MAX_PATH, "%s", folder);
    return kListStartable;
}
