// Test helpers and the test program's entry: the run gets one scratch folder
// of its own, as the installer does, for the reader's temporary files.
#include "helpers.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#ifdef _WIN32
#include <aclapi.h>
#else
#include <unistd.h>
#endif

#include "platform/win32api.h"
#include "base/files.h"
#include "base/scratch.h"

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
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%sbrondale-test-%lu-%u-%s", temp, static_cast<unsigned long>(GetTickCount()),
                 ++counter, label);
        if (CreateDirectoryA(path, nullptr)) {
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

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new CleanUp);
    // The reader keeps its path list in the scratch folder, as in a real run.
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    for (unsigned n = 0;; ++n) {
        snprintf(tmp_dir(), MAX_PATH, "%sbrondale-test-scratch-%lu-%u", temp,
                 static_cast<unsigned long>(GetTickCount()), n);
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
