// The registry: keys below the four roots and their typed values, created,
// set, read and deleted as the real calls do. Key and value names compare
// without case, as in Windows; each open key counts as a handle. With a
// registry file (PosixUseRegistryFile) every call reads the store from it
// and every change writes it back, so that a process forked by a test and
// ended in the middle leaves what it had written for the next one to read.
#include "posix/win32_posix.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "posix/errors_posix.h"
#include "posix/handletable_posix.h"
#include "posix/paths_posix.h"

namespace {

struct KeyObject {
    int kind;
    std::string key;  // root number, a backslash, the lower-case path
};

struct Value {
    DWORD type;
    std::string data;
};

struct Store {
    std::mutex lock;
    std::set<std::string> keys;
    // Key, a zero byte and the lower-case value name, to the value.
    std::map<std::string, Value> values;
    std::string file;  // "" while the store lives in memory only
};

Store& TheStore() {
    static Store store;
    return store;
}

std::string Lower(const char* text) {
    std::string s = text ? text : "";
    for (char& c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// The store's name of key below root; "" for a root the stand-in lacks.
std::string KeyName(HKEY root, const char* key) {
    uintptr_t r = reinterpret_cast<uintptr_t>(root);
    if (r < 0x80000000u || r > 0x80000003u)
        return "";
    std::string path = Lower(key);
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return std::to_string(r - 0x80000000u) + "\\" + path;
}

std::string ValueName(const std::string& key, const char* name) { return key + std::string(1, '\0') + Lower(name); }

std::string Hex(const std::string& bytes) {
    std::string out;
    char two[3];
    for (unsigned char c : bytes) {
        snprintf(two, sizeof two, "%02x", c);
        out += two;
    }
    return out;
}

std::string Unhex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

// Reads the store from its file (one key or value a line, names in hex).
void Load(Store& s) {
    if (s.file.empty())
        return;
    s.keys.clear();
    s.values.clear();
    FILE* f = fopen(s.file.c_str(), "r");
    if (!f)
        return;
    char line[70000];
    while (fgets(line, sizeof line, f)) {
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        size_t a = text.find(' '), b = text.find(' ', a + 1), c = text.find(' ', b + 1);
        if (text[0] == 'K' && a != std::string::npos)
            s.keys.insert(Unhex(text.substr(a + 1)));
        else if (text[0] == 'V' && c != std::string::npos)
            s.values[Unhex(text.substr(a + 1, b - a - 1))] =
                Value{static_cast<DWORD>(std::stoul(text.substr(b + 1, c - b - 1))), Unhex(text.substr(c + 1))};
    }
    fclose(f);
}

void Save(Store& s) {
    if (s.file.empty())
        return;
    std::string temporary = s.file + ".new";
    FILE* f = fopen(temporary.c_str(), "w");
    if (!f)
        return;
    for (const std::string& k : s.keys)
        fprintf(f, "K %s\n", Hex(k).c_str());
    for (const auto& v : s.values)
        fprintf(f, "V %s %lu %s\n", Hex(v.first).c_str(), static_cast<unsigned long>(v.second.type),
                Hex(v.second.data).c_str());
    fclose(f);
    rename(temporary.c_str(), s.file.c_str());
}

bool HasSubkeys(const Store& s, const std::string& key) {
    auto it = s.keys.upper_bound(key + "\\");
    return it != s.keys.end() && it->compare(0, key.size() + 1, key + "\\") == 0;
}

KeyObject* KeyOf(HKEY key) {
    return PosixKindOf(key) == kPosixKey ? reinterpret_cast<KeyObject*>(key) : nullptr;
}

HKEY NewKey(const std::string& name) {
    PosixHandleOpened();
    return reinterpret_cast<HKEY>(new KeyObject{kPosixKey, name});
}

}  // namespace

LONG RegOpenKeyExA(HKEY root, LPCSTR key, DWORD, REGSAM, HKEY* result) {
    *result = nullptr;
    if (PosixInjectedFault())
        return ERROR_WRITE_FAULT;
    std::string name = KeyName(root, key);
    if (name.empty() || !key)
        return ERROR_INVALID_PARAMETER;
    Store& s = TheStore();
    std::lock_guard<std::mutex> guard(s.lock);
    Load(s);
    if (!s.keys.count(name))
        return ERROR_FILE_NOT_FOUND;
    *result = NewKey(name);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY root, LPCSTR key, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, HKEY* result,
                     LPDWORD disposition) {
    *result = nullptr;
    if (PosixInjectedFault())
        return ERROR_WRITE_FAULT;
    std::string name = KeyName(root, key);
    if (name.empty() || !key)
        return ERROR_INVALID_PARAMETER;
    Store& s = TheStore();
    std::lock_guard<std::mutex> guard(s.lock);
    Load(s);
    bool existed = s.keys.count(name) != 0;
    // Every key along the path exists once the last one does.
    for (size_t at = name.find('\\', name.find('\\') + 1); at != std::string::npos; at = name.find('\\', at + 1))
        s.keys.insert(name.substr(0, at));
    s.keys.insert(name);
    Save(s);
    if (disposition)
        *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = NewKey(name);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, BYTE* data, LPDWORD size) {
    if (PosixInjectedFault())
        return ERROR_WRITE_FAULT;
    KeyObject* k = KeyOf(key);
    if (!k)
        return ERROR_INVALID_HANDLE;
    Store& s = TheStore();
    std::lock_guard<std::mutex> guard(s.lock);
    Load(s);
    auto it = s.values.find(ValueName(k->key, name));
    if (it == s.values.end())
        return ERROR_FILE_NOT_FOUND;
    DWORD need = static_cast<DWORD>(it->second.data.size());
    if (type)
        *type = it->second.type;
    if (!size)
        return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    DWORD room = *size;
    *size = need;
    if (!data)
        return ERROR_SUCCESS;
    if (room < need)
        return ERROR_MORE_DATA;
    memcpy(data, it->second.data.data(), need);
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    if (PosixInjectedFault())
        return ERROR_WRITE_FAULT;
    KeyObject* k = KeyOf(key);
    if (!k)
        return ERROR_INVALID_HANDLE;
    Store& s = TheStore();
    std::lock_guard<std::mutex> guard(s.lock);
    Load(s);
    if (!s.keys.count(k->key))
        return ERROR_KEY_DELETED;
    s.values[ValueName(k->key, name)] = Value{type, std::string(reinterpret_cast<const char*>(data), size)};
    Save(s);
    return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, LPCSTR name) {
    if (PosixInjectedFault())
        return ERROR_WRITE_FAULT;
    KeyObject* k = KeyOf(key);
    if (!k)
        return ERROR_INVALID_HANDLE;
    Store& s = TheStore();
    std::lock_guard<std::mutex> guard(s.lock);
    Load(s);
    if (s.values.erase(ValueName(k->key, name)) == 0)
        return ERROR_FILE_NOT_FOUND;
    Save(s);
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY root, LPCSTR key) {
    if (PosixInjectedFault())
        return ERROR_WRITE_FAULT;
    std::string name = KeyName(root, key);
    if (name.empty() || !key || name.find('\\') + 1 == name.size())
        return ERROR_INVALID_PARAMETER;
    Store& s = TheStore();
    std::lock_guard<std::mutex> guard(s.lock);
    Load(s);
    if (!s.keys.count(name))
        return ERROR_FILE_NOT_FOUND;
    if (HasSubkeys(s, name))
        return ERROR_ACCESS_DENIED;
    s.keys.erase(name);
    std::string prefix = name + std::string(1, '\0');
    for (auto it = s.values.lower_bound(prefix); it != s.values.end() && it->first.compare(0, prefix.size(), prefix) == 0;)
        it = s.values.erase(it);
    Save(s);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    KeyObject* k = KeyOf(key);
    if (!k)
        return ERROR_INVALID_HANDLE;
    k->kind = 0;
    delete k;
    PosixHandleClosed();
    return ERROR_SUCCESS;
}

namespace {

void SetValue(HKEY root, const char* key, const char* name, const char* text) {
    Store& s = TheStore();
    std::lock_guard<std::mutex> guard(s.lock);
    Load(s);
    std::string k = KeyName(root, key);
    if (text) {
        for (size_t at = k.find('\\', 2); at != std::string::npos; at = k.find('\\', at + 1))
            s.keys.insert(k.substr(0, at));
        s.keys.insert(k);
        s.values[ValueName(k, name)] = Value{REG_SZ, std::string(text) + std::string(1, '\0')};
    } else {
        s.values.erase(ValueName(k, name));
        std::string prefix = k + std::string(1, '\0');
        auto it = s.values.lower_bound(prefix);
        bool more = it != s.values.end() && it->first.compare(0, prefix.size(), prefix) == 0;
        if (!more && !HasSubkeys(s, k))
            s.keys.erase(k);
    }
    Save(s);
}

}  // namespace

void PosixSetRegistryValue(const char* key, const char* name, const char* text) {
    SetValue(HKEY_LOCAL_MACHINE, key, name, text);
}

void PosixSetUserRegistryValue(const char* key, const char* name, const char* text) {
    SetValue(HKEY_CURRENT_USER, key, name, text);
}

void PosixUseRegistryFile(const char* path) {
    Store& s = TheStore();
    std::lock_guard<std::mutex> guard(s.lock);
    // A Windows-style path, as every other call of the stand-in takes it.
    s.file = path ? PosixUnixPath(path) : "";
    if (s.file.empty())
        return;
    FILE* f = fopen(s.file.c_str(), "r");
    if (f)
        fclose(f);
    else
        Save(s);
}
