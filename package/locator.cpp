// The package locator. The search reads in blocks but feeds the matcher byte
// by byte, and on success seeks back so that the handle stands exactly on the
// first byte of the Lang section: the section reader reads on from there.
// The installer's own file is read only through a handle that holds it
// (read sharing only) and was checked to be the running program's file.
#include "package/locator.h"

#include <cstdint>
#include <cstring>

#include "base/files.h"
#include "base/format.h"
#include "base/log.h"
#include "base/names.h"

HANDLE* HandleToGzc() {
    static HANDLE handle = nullptr;
    return &handle;
}

void Sygnatura(unsigned short* state, unsigned short j, unsigned char expected, unsigned char byte) {
    if (*state != j)
        return;
    *state = byte == expected ? static_cast<unsigned short>(j + 1) : 0;
}

HANDLE winfopen(const char* name, bool write) {
    return CreateFileA(name, write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ, nullptr,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool winfread(void* data, HANDLE file, DWORD size) {
    DWORD got = 0;
    return ReadFile(file, data, size, &got, nullptr) && got == size;
}

bool winfwrite(const void* data, HANDLE file, DWORD size) {
    DWORD put = 0;
    return WriteFile(file, data, size, &put, nullptr) && put == size;
}

bool FilePosition(HANDLE file, uint64_t* position) {
    LONG high = 0;
    SetLastError(ERROR_SUCCESS);
    DWORD low = SetFilePointer(file, 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS)
        return false;
    *position = (static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) | low;
    return true;
}

bool SeekTo(HANDLE file, uint64_t position) {
    LONG high = static_cast<LONG>(position >> 32);
    SetLastError(ERROR_SUCCESS);
    DWORD low = SetFilePointer(file, static_cast<LONG>(position & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS);
}

namespace {

// Looks for the signature in file from kPackageStart on; true when found,
// with the handle standing on the first byte after it.
bool SearchFrom(HANDLE file) {
    unsigned short state = 0;
    unsigned char signature[kSignatureSize];
    for (size_t j = 0; j < kSignatureSize; ++j)
        signature[j] = SignatureByte(j);
    if (!SeekTo(file, kPackageStart))
        return false;

    static unsigned char block[65536];
    uint64_t blockStart = kPackageStart;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, block, sizeof block, &got, nullptr) || got == 0)
            return false;
        for (DWORD i = 0; i < got; ++i) {
            for (int j = static_cast<int>(kSignatureSize) - 1; j >= 0; --j)
                Sygnatura(&state, static_cast<unsigned short>(j), signature[j], block[i]);
            if (state == kSignatureSize)
                return SeekTo(file, blockStart + i + 1);
        }
        blockStart += got;
    }
}

}  // namespace

bool FindPackageIn(const char* path, HANDLE* slot) {
    *slot = winfopen(path, false);
    return *slot != INVALID_HANDLE_VALUE && SearchFrom(*slot);
}

bool IsRunningImage(HANDLE file) {
    char mapped[2 * MAX_PATH], final[2 * MAX_PATH];
    DWORD n = GetMappedFileNameA(GetCurrentProcess(), GetModuleHandleA(nullptr), mapped, sizeof mapped);
    if (n == 0 || n >= sizeof mapped - 1)
        return false;
    mapped[n] = '\0';
    // Windows names the mapped file by its device path, which the NT form
    // of the final path matches; Wine by its DOS path behind "\??\".
    if (strncmp(mapped, "\\??\\", 4) == 0)
        return FinalPath(file, final, sizeof final) && SamePath(final, mapped + 4);
    DWORD m = GetFinalPathNameByHandleA(file, final, sizeof final, FILE_NAME_NORMALIZED | VOLUME_NAME_NT);
    return m > 0 && m < sizeof final && SamePath(final, mapped);
}

HANDLE OpenRunningImage() {
    char path[MAX_PATH];
    Program(path);
    // Read sharing only: while this handle is open nobody writes, renames,
    // deletes or replaces the file.
    HANDLE file = winfopen(path, false);
    if (file != INVALID_HANDLE_VALUE && !IsRunningImage(file)) {
        CloseHandle(file);
        LogLine("package: %s is no longer the file this installer runs from", path);
        file = INVALID_HANDLE_VALUE;
    }
    return file;
}

bool WyszukajRc(HANDLE* slot) {
    *slot = OpenRunningImage();
    return *slot == INVALID_HANDLE_VALUE || !SearchFrom(*slot);
}
