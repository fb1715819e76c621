// The product's Scope and the switches that pick one.
#include "config/scope.h"

#include <cstring>

#include "base/ascii.h"
#include "config/config.h"

ScopeSetting ParseScopeSetting(const char* value) {
    static const char* const kNames[3] = {"machine", "user", "choose"};
    size_t n = strlen(value);
    if (n == 0)
        return kSettingMachine;
    for (int i = 0; i < 3; ++i)
        if (SameAscii(value, n, kNames[i], strlen(kNames[i])))
            return static_cast<ScopeSetting>(i);
    return kSettingUnknown;
}

ScopeSetting ProductScope() {
    char value[kCfgValueSize];
    GetFromCfg(kProductScope, value, kSecProduct, kInitCfg);
    return ParseScopeSetting(value);
}

ScopeDecision DecideScope(ScopeSetting setting, bool allUsers, bool currentUser, bool silent) {
    if (allUsers && currentUser)
        return kScopeSwitchRefused;
    switch (setting) {
    case kSettingUser:
        return allUsers ? kScopeSwitchRefused : kDecidedUser;
    case kSettingChoose:
        if (allUsers)
            return kDecidedMachine;
        if (currentUser)
            return kDecidedUser;
        return silent ? kDecidedMachine : kDecideByAsking;
    default:
        return allUsers || currentUser ? kScopeSwitchRefused : kDecidedMachine;
    }
}
