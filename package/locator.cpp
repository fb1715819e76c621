// The package locator. The search reads in blocks but feeds the matcher byte
// by byte, and on success seeks back so that the handle stands exactly on the
// first byte of the Lang section: the section reader reads on from there.
#include "package/locator.h"

#include <cstdint>

#include "base/format.h"
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

bool FindPackageIn(const char* path, HANDLE* slot) {
    unsigned short state = 0;
    unsigned char signature[kSignatureSize];
    for (size_t j = 0; j < kSignatureSize; ++j)
        signature[j] = SignatureByte(j);

    *slot = winfopen(path, false);
    if (*slot == INVALID_HANDLE_VALUE || !SeekTo(*slot, kPackageStart))
        return true;

    static unsigned char block[65536];
    uint64_t blockStart = kPackageStart;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(*slot, block, sizeof block, &got, nullptr) || got == 0)
            return true;
        for (DWORD i = 0; i < got; ++i) {
            for (int j = static_cast<int>(kSignatureSize) - 1; j >= 0; --j)
                Sygnatura(&state, static_cast<unsigned short>(j), signature[j], block[i]);
            if (state == kSignatureSize)
                return !SeekTo(*slot, blockStart + i + 1);
        }
        blockStart += got;
    }
}

bool WyszukajRc(HANDLE* slot) {
    char path[MAX_PATH];
    Program(path);
    return FindPackageIn(path, slot);
}
