// The CNG calls of the elevated programs, bound at run time from the system
// folder (Windows only). bcrypt.dll is not one of the system's known DLLs:
// imported, it would be looked for beside the program first, before any
// restriction of the DLL search could take effect, so a bcrypt.dll planted
// in a downloads folder would run elevated. Nothing links bcrypt's import
// library; these definitions stand in for it.
#include <windows.h>
#include <bcrypt.h>

namespace {

// STATUS_DLL_NOT_FOUND, for a call whose function cannot be had.
const NTSTATUS kNoCng = static_cast<NTSTATUS>(0xC0000135L);

// The system's bcrypt.dll by its full path; null when it cannot be loaded.
HMODULE Cng() {
    static HMODULE module = [] {
        char path[MAX_PATH];
        UINT n = GetSystemDirectoryA(path, MAX_PATH);
        if (n == 0 || n + sizeof "\\bcrypt.dll" > MAX_PATH)
            return static_cast<HMODULE>(nullptr);
        lstrcatA(path, "\\bcrypt.dll");
        return LoadLibraryA(path);
    }();
    return module;
}

template <typename F> F Bound(const char* name) {
    HMODULE module = Cng();
    return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

NTSTATUS WINAPI BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* algorithm, LPCWSTR id, LPCWSTR implementation,
                                            ULONG flags) {
    typedef NTSTATUS(WINAPI * Fn)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
    static Fn f = Bound<Fn>("BCryptOpenAlgorithmProvider");
    return f ? f(algorithm, id, implementation, flags) : kNoCng;
}

NTSTATUS WINAPI BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE algorithm, ULONG flags) {
    typedef NTSTATUS(WINAPI * Fn)(BCRYPT_ALG_HANDLE, ULONG);
    static Fn f = Bound<Fn>("BCryptCloseAlgorithmProvider");
    return f ? f(algorithm, flags) : kNoCng;
}

NTSTATUS WINAPI BCryptCreateHash(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE* hash, PUCHAR object, ULONG objectSize,
                                 PUCHAR secret, ULONG secretSize, ULONG flags) {
    typedef NTSTATUS(WINAPI * Fn)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);
    static Fn f = Bound<Fn>("BCryptCreateHash");
    return f ? f(algorithm, hash, object, objectSize, secret, secretSize, flags) : kNoCng;
}

NTSTATUS WINAPI BCryptHashData(BCRYPT_HASH_HANDLE hash, PUCHAR input, ULONG size, ULONG flags) {
    typedef NTSTATUS(WINAPI * Fn)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
    static Fn f = Bound<Fn>("BCryptHashData");
    return f ? f(hash, input, size, flags) : kNoCng;
}

NTSTATUS WINAPI BCryptFinishHash(BCRYPT_HASH_HANDLE hash, PUCHAR output, ULONG size, ULONG flags) {
    typedef NTSTATUS(WINAPI * Fn)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
    static Fn f = Bound<Fn>("BCryptFinishHash");
    return f ? f(hash, output, size, flags) : kNoCng;
}

NTSTATUS WINAPI BCryptDestroyHash(BCRYPT_HASH_HANDLE hash) {
    typedef NTSTATUS(WINAPI * Fn)(BCRYPT_HASH_HANDLE);
    static Fn f = Bound<Fn>("BCryptDestroyHash");
    return f ? f(hash) : kNoCng;
}

NTSTATUS WINAPI BCryptGenRandom(BCRYPT_ALG_HANDLE algorithm, PUCHAR buffer, ULONG size, ULONG flags) {
    typedef NTSTATUS(WINAPI * Fn)(BCRYPT_ALG_HANDLE, PUCHAR, ULONG, ULONG);
    static Fn f = Bound<Fn>("BCryptGenRandom");
    return f ? f(algorithm, buffer, size, flags) : kNoCng;
}
