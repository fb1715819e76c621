// The registry, read only: REG_SZ values below HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER that a test sets with PosixSetRegistryValue and
// PosixSetUserRegistryValue. Key and value names compare without case,
// as in Windows; each open key counts as a handle.
#include "posix/win32_posix.h"

#include <cctype>
#include <cstring>
#include <map>
#include <string>

#include "posix/errors_posix.h"
#include "posix/handletable_posix.h"

namespace {

struct KeyObject {
    int kind;
    std::string key;  // lower case
};

std::string Lower(const char* text) {
    std::string s = text ? text : "";
    for (char& c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// Values: the root's letter (m or u), the lower-case key, a zero byte and
// the lower-case value name, to the value's text.
std::map<std::string, std::string>& Values() {
    static std::map<std::string, std::string> values;
    return values;
}

}  // namespace

LONG RegOpenKeyExA(HKEY root, LPCSTR key, DWORD, REGSAM, HKEY* result) {
    *result = nullptr;
    if (PosixInjectedFault())
        return ERROR_WRITE_FAULT;
    if ((root != HKEY_LOCAL_MACHINE && root != HKEY_CURRENT_USER) || !key)
        return ERROR_INVALID_PARAMETER;
    std::string name = (root == HKEY_CURRENT_USER ? "u" : "m") + Lower(key);
    auto it = Values().lower_bound(name + std::string(1, '\0'));
    if (it == Values().end() || it->first.compare(0, name.size() + 1, name + std::string(1, '\0')) != 0)
        return ERROR_FILE_NOT_FOUND;
    *result = reinterpret_cast<HKEY>(new KeyObject{kPosixKey, name});
    PosixHandleOpened();
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, BYTE* data, LPDWORD size) {
    if (PosixInjectedFault())
        return ERROR_WRITE_FAULT;
    if (PosixKindOf(key) != kPosixKey)
        return ERROR_INVALID_HANDLE;
    KeyObject* k = reinterpret_cast<KeyObject*>(key);
    auto it = Values().find(k->key + std::string(1, '\0') + Lower(name));
    if (it == Values().end())
        return ERROR_FILE_NOT_FOUND;
    DWORD need = static_cast<DWORD>(it->second.size() + 1);
    if (type)
        *type = REG_SZ;
    if (!size)
        return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    DWORD room = *size;
    *size = need;
    if (!data)
        return ERROR_SUCCESS;
    if (room < need)
        return ERROR_MORE_DATA;
    memcpy(data, it->second.c_str(), need);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (PosixKindOf(key) != kPosixKey)
        return ERROR_INVALID_HANDLE;
    KeyObject* k = reinterpret_cast<KeyObject*>(key);
    k->kind = 0;
    delete k;
    PosixHandleClosed();
    return ERROR_SUCCESS;
}

namespace {

void SetValue(const std::string& at, const char* text) {
    if (text)
        Values()[at] = text;
    else
        Values().erase(at);
}

}  // namespace

void PosixSetRegistryValue(const char* key, const char* name, const char* text) {
    SetValue("m" + Lower(key) + std::string(1, '\0') + Lower(name), text);
}

void PosixSetUserRegistryValue(const char* key, const char* name, const char* text) {
    SetValue("u" + Lower(key) + std::string(1, '\0') + Lower(name), text);
}
