// Test helpers and the test program's entry: the run gets one scratch folder
// of its own, as the installer does, for the reader's temporary files.
#include "helpers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <zlib.h>
#ifdef _WIN32
#include <aclapi.h>
#else
#include <sys/time.h>
#include <unistd.h>
#endif

#include "platform/win32api.h"
#include "base/files.h"
#include "base/installed.h"
#include "base/scratch.h"
#include "base/state.h"
#include "package/heldtree.h"
#include "package/record.h"
#include "trust/digest.h"

namespace {

std::vector<std::string>& Created() {
    static std::vector<std::string> folders;
    return folders;
}

void CollectTree(const std::string& root, const std::string& relative, std::vector<std::string>* out) {
    WIN32_FIND_DATAA entry;
    std::string folder = relative.empty() ? root : root + "\\" + relative;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string sub = relative.empty() ? name : relative + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out->push_back(sub + "\\");
            CollectTree(root, sub, out);
        } else {
            out->push_back(sub);
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

class CleanUp : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override {
        // The folders an extraction or a destination held are let go first.
        TreeRelease();
        for (const std::string& folder : Created()) {
            wyliczpliki(folder.c_str());
            RemoveDirectoryA(folder.c_str());
        }
        Created().clear();
    }
};

} // namespace

std::string NewFolder(const char* label) {
    static unsigned counter = 0;
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    for (;;) {
        std::string path = std::string(temp) + "brondale-test-" + std::to_string(GetTickCount()) + "-" +
                           std::to_string(++counter) + "-" + label;
        if (CreateDirectoryA(path.c_str(), nullptr)) {
            Created().push_back(path);
            return path;
        }
    }
}

bool WriteBytes(const std::string& path, const Bytes& data) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    bool ok = data.empty() || (WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &put, nullptr) &&
                               put == data.size());
    CloseHandle(h);
    return ok;
}

bool ReadBytes(const std::string& path, Bytes* data) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    data->clear();
    unsigned char block[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(h, block, sizeof block, &got, nullptr)) && got > 0)
        data->insert(data->end(), block, block + got);
    CloseHandle(h);
    return ok;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> ListTree(const std::string& folder) {
    std::vector<std::string> out;
    CollectTree(folder, "", &out);
    std::sort(out.begin(), out.end());
    return out;
}

Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Noise(size_t size, unsigned seed) {
    Bytes out(size);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = static_cast<unsigned char>(x);
    }
    return out;
}

Bytes Section(const std::vector<SectionFile>& files, bool scrambled) {
    Bytes out;
    std::string error;
    EXPECT_TRUE(BuildSection(files, scrambled, 6, &out, &error)) << error;
    return out;
}

Bytes Installer(const Bytes& sections) {
    Bytes program = FromText("MZ this stands for the installer program");
    Bytes out = PackagePrefix(program);
    out.insert(out.end(), sections.begin(), sections.end());
    return out;
}

void* OpenForReading(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

FileState StateOf(const std::string& path) {
    FileState s;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return s;
    FindClose(find);
    ReadBytes(path, &s.bytes);
    s.attributes = data.dwFileAttributes;
    s.written = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return s;
}

void MakeOld(const std::string& path) {
#ifdef _WIN32
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME t;
    GetFileTime(h, nullptr, nullptr, &t);
    ULARGE_INTEGER u{{t.dwLowDateTime, t.dwHighDateTime}};
    u.QuadPart -= 864000000000ull;
    t.dwLowDateTime = u.LowPart;
    t.dwHighDateTime = u.HighPart;
    SetFileTime(h, nullptr, nullptr, &t);
    CloseHandle(h);
#else
    std::string unix = path;
    std::replace(unix.begin(), unix.end(), '\\', '/');
    struct timeval times[2];
    gettimeofday(&times[0], nullptr);
    times[0].tv_sec -= 86400;
    times[1] = times[0];
    utimes(unix.c_str(), times);
#endif
}

std::vector<std::string> KeptNames(const std::string& folder) {
    std::vector<std::string> kept;
    for (const std::string& name : ListTree(folder)) {
        size_t slash = name.find_last_of('\\');
        if (IsKeptName(name.substr(slash == std::string::npos ? 0 : slash + 1).c_str()))
            kept.push_back(name);
    }
    return kept;
}

namespace {

char* SavedInstallFolder() {
    static char folder[MAX_PATH];
    return folder;
}

} // namespace

std::string BeginProduct(const std::string& product) {
    ScratchRead(kScratchInstall, SavedInstallFolder(), MAX_PATH);
    std::string install = NewFolder("product-install");
    EXPECT_TRUE(WriteBytes(install + "\\init.cfg", FromText("[cfg]\r\n1=" + product + "\r\n")));
    ScratchWrite(kScratchInstall, install.c_str());
    *PaczkaZProgramem() = 1;
    return std::string(kUninstallKey) + product;
}

void EndProduct(const std::string& key) {
    *PaczkaZProgramem() = 0;
    ScratchWrite(kScratchInstall, SavedInstallFolder());
    SetListDigest(key, nullptr);
}

void SetMachineText(const std::string& key, const char* name, const char* text) {
#ifdef _WIN32
    HKEY h;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) !=
        ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot create " << key;
        return;
    }
    if (text)
        RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1));
    else
        RegDeleteValueA(h, name);
    RegCloseKey(h);
#else
    PosixSetRegistryValue(key.c_str(), name, text);
#endif
}

void SetListDigest(const std::string& key, const char* text) { SetMachineValue(key, kFileListDigestValue, text); }

void SetMachineValue(const std::string& key, const char* name, const char* text) {
#ifdef _WIN32
    if (!text) {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
        return;
    }
    HKEY h;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) !=
        ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot create " << key;
        return;
    }
    RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1));
    RegCloseKey(h);
#else
    PosixSetRegistryValue(key.c_str(), name, text);
#endif
}

std::vector<std::pair<std::string, Bytes>> SealedRecord(const std::string& key, const std::string& list) {
    char digest[kDigestTextSize];
    EXPECT_TRUE(SealDigest(key.c_str(), list.data(), list.size(), digest));
    SetListDigest(key, digest);
    return {{"UnInstall\\UnInst.cfg", FromText("[reg]\r\nmax=1\r\n1=" + key + "\r\n")},
            {"UnInstall\\Files.lst", FromText(list)}};
}

std::string ListLine(const std::string& relative, const Bytes& bytes) {
    char head[32];
    uint32_t crc = static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
    snprintf(head, sizeof head, "%lu %08lX ", static_cast<unsigned long>(bytes.size()), static_cast<unsigned long>(crc));
    return head + relative + "\r\n";
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new CleanUp);
    // The reader keeps its path list in the scratch folder, as in a real run.
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    for (unsigned n = 0;; ++n) {
        int length = snprintf(tmp_dir(), MAX_PATH, "%sbrondale-test-scratch-%lu-%u", temp,
                              static_cast<unsigned long>(GetTickCount()), n);
        if (length < 0 || length >= MAX_PATH) {
            fprintf(stderr, "unit_tests: the temporary folder's path is too long: %s\n", temp);
            return 1;
        }
        if (CreateDirectoryA(tmp_dir(), nullptr))
            break;
    }
    int result = RUN_ALL_TESTS();
    wyliczpliki(tmp_dir());
    RemoveDirectoryA(tmp_dir());
    return result;
}

#ifndef _WIN32
bool MakeLink(const std::string& target, const std::string& path) {
    auto unix = [](std::string p) {
        std::replace(p.begin(), p.end(), '\\', '/');
        return p;
    };
    return symlink(unix(target).c_str(), unix(path).c_str()) == 0;
}
#endif

std::string FolderAccess(const std::string& folder) {
#ifdef _WIN32
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return "";
    LPSTR text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                         &text, nullptr);
    std::string sddl = text ? text : "";
    LocalFree(text);
    LocalFree(descriptor);
    return sddl;
#else
    return PosixFolderDescriptor(folder.c_str());
#endif
}

bool GrantsEveryone(const std::string& access) {
    return access.find(";WD)") != std::string::npos || access.find(";S-1-1-0)") != std::string::npos;
}
