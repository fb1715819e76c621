// The registry accessor and the registry values of reg.cfg.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/config.h"
#include "finish/registry.h"
#include "finish/record.h"
#include "finish/values.h"
#include "base/switches.h"
#include "package/journal.h"

LONG addregister(const char* subkey, const char* name, unsigned char* data, short operation, short root, int size,
                 unsigned long type) {
    static const HKEY kRoots[4] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_USERS};
    if (root < 0 || root > 3)
        return ERROR_INVALID_PARAMETER;
    // What a change replaces is journaled first, so that a run that does
    // not end can have it given back.
    if ((operation == 1 || operation == 2) && !JournalValue(root, subkey, name))
        return ERROR_WRITE_FAULT;
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG result = RegCreateKeyExA(kRoots[root], subkey, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (result != ERROR_SUCCESS)
        return result;
    switch (operation) {
    case 1:
        if (type == REG_DWORD || type == REG_BINARY) {
            convertvalue(data);
            size /= 2;
        } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
            // The terminating zero belongs to a string's data: a reader
            // that trusts the size must find it.
            size += 1;
        }
        result = RegSetValueExA(key, name, 0, type, data, static_cast<DWORD>(size));
        break;
    case 0: {
        DWORD capacity = static_cast<DWORD>(size);
        result = RegQueryValueExA(key, name, nullptr, nullptr, data, &capacity);
        break;
    }
    case 2:
        result = RegDeleteValueA(key, name);
        break;
    default:
        result = ERROR_INVALID_PARAMETER;
    }
    RegCloseKey(key);
    return result;
}

void DodajDoRejestru(const Installation& installation) {
    static const unsigned long kTypes[4] = {REG_BINARY, REG_DWORD, REG_EXPAND_SZ, REG_SZ};
    int end = CfgListEnd(kSecIndex, kRegCfg);
    for (int i = 1; i < end; ++i) {
        char number[16];
        char type[kCfgValueSize], key[kCfgValueSize], value[kCfgQuotedSize], dynam[kCfgValueSize], name[kCfgValueSize];
        snprintf(number, sizeof number, "%d", i);
        GetFromCfg(number, type, kSecType, kRegCfg);
        GetFromCfg(number, key, kSecKey, kRegCfg);
        GetFromCfg(number, value, kSecValue, kRegCfg);
        GetFromCfg(number, dynam, kSecDynam, kRegCfg);
        bool fits = strlen(value) < MAX_PATH;
        if (fits && atoi(dynam) != 0)
            fits = SciezkaDynamicznie(value, type, installation.destination);
        GetFromCfg(number, name, kSecName, kRegCfg);
        WriteToUnInstall(true, key, name);
        char named[kCfgValueSize];
        snprintf(named, sizeof named, "%s", key);
        short root = FindKeyType(key);
        // A type outside the table, a key without a root or a value that
        // grew past its buffer is recorded but not written.
        int t = strlen(type) <= 15 ? atoi(type) : -1;
        if (root > 3 || t < 0 || t > 3 || !fits) {
            LogLine("registry value %s, %s: recorded, not written", named, name);
            continue;
        }
        LONG result = addregister(key, name, reinterpret_cast<unsigned char*>(value), 1, root,
                                  static_cast<int>(strlen(value)), kTypes[t]);
        LogLine("registry value %s, %s: %s (%ld)", named, name, result == ERROR_SUCCESS ? "written" : "failed",
                static_cast<long>(result));
    }
}
