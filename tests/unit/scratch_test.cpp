// The scratch folder and its settings file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "helpers.h"
#include "platform/win32api.h"
#include "base/files.h"
#include "trust/scratch.h"
#include "trust/folder.h"
#ifdef _WIN32
#include <aclapi.h>
#else
#include <sys/stat.h>
#endif

namespace {

// Keeps the run's scratch path and puts it back after the test.
class Scratch : public ::testing::Test {
protected:
    void SetUp() override { memcpy(saved, tmp_dir(), sizeof saved); }
    void TearDown() override { memcpy(tmp_dir(), saved, sizeof saved); }
    char saved[MAX_PATH];
};

// True when the folder lets other users in. Wine derives a folder's
// descriptor from its Unix mode bits and the descriptor it was made with;
// the stand-in keeps only the mode bits.
bool OpenToOthers(const std::string& folder) {
#ifdef _WIN32
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return true;
    LPSTR text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                         &text, nullptr);
    std::string sddl = text ? text : "";
    LocalFree(text);
    LocalFree(descriptor);
    // Everyone, Users, Authenticated Users, Guests.
    for (const char* other : {";WD)", ";BU)", ";AU)", ";BG)", ";S-1-1-0)", ";S-1-5-32-545)", ";S-1-5-11)"})
        if (sddl.find(other) != std::string::npos)
            return true;
    return sddl.empty();
#else
    struct stat st;
    std::string unix = folder;
    for (char& c : unix)
        if (c == '\\')
            c = '/';
    return stat(unix.c_str(), &st) != 0 || (st.st_mode & 077) != 0;
#endif
}

// Puts a link to target at path: a symbolic link natively; under Wine the
// harness's own links come from the Linux side, so there it is a plain file
// in the folder's place, which the clean-up must not treat as a folder either.
bool MakeFolderLink(const std::string& path, const std::string& target) {
#ifdef _WIN32
    (void)target;
    return WriteBytes(path, FromText("not a folder"));
#else
    return MakeLink(target, path);
#endif
}

std::string Read(const char* key) {
    char buffer[MAX_PATH];
    memset(buffer, 'q', sizeof buffer);
    dircfg(key, buffer, 0, sizeof buffer);
    return buffer;
}

} // namespace

TEST_F(Scratch, SettingsKeysReadBackAndMissingOnesAreEmpty) {
    std::string folder = NewFolder("settings");
    snprintf(tmp_dir(), MAX_PATH, "%s", folder.c_str());
    EXPECT_EQ("", Read("10")) << "a key never written";
    char value[] = "D:\\Program Files\\Product\\";
    dircfg("10", value, 1, static_cast<int>(strlen(value)));
    EXPECT_EQ(value, Read("10"));
    EXPECT_TRUE(Exists(folder + "\\init.cfg"));
    char small[8];
    dircfg("10", small, 0, sizeof small);
    EXPECT_STREQ("D:\\Prog", small) << "cut to the buffer with its terminator";
    EXPECT_EQ(7, dircfg("10", value, 7, 0)) << "an unknown mode does nothing";
}

TEST_F(Scratch, GetCfgCreatesLangAndInstallAndRecordsThem) {
    ASSERT_FALSE(ustawtmp());
    std::string scratch = tmp_dir();
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    ASSERT_EQ(0u, scratch.find(std::string(temp) + "Brondale")) << scratch;
    GetCfg();
    EXPECT_TRUE(IsFolder(scratch + "\\Lang"));
    EXPECT_TRUE(IsFolder(scratch + "\\Install"));
    EXPECT_EQ(scratch + "\\Lang", Read("8"));
    EXPECT_EQ(scratch + "\\Install", Read("9"));
    wyliczpliki(scratch.c_str());
    RemoveDirectoryA(scratch.c_str());
}

TEST_F(Scratch, APlantedFolderIsNeverUsed) {
    // Plant the names of the next 20 ticks: the scratch folder must be a
    // name after them, made by this call.
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    DWORD now = GetTickCount();
    std::vector<std::string> planted;
    for (DWORD t = now; t < now + 20; ++t) {
        planted.push_back(std::string(temp) + "Brondale" + std::to_string(static_cast<int>(t)));
        CreateDirectoryA(planted.back().c_str(), nullptr);
    }
    ASSERT_FALSE(ustawtmp());
    std::string scratch = tmp_dir();
    GetCfg();
    for (const std::string& p : planted) {
        EXPECT_NE(p, scratch);
        EXPECT_EQ(std::vector<std::string>{}, ListTree(p)) << "nothing was written into the planted folder";
        RemoveDirectoryA(p.c_str());
    }
    EXPECT_TRUE(IsFolder(scratch + "\\Lang"));
    wyliczpliki(scratch.c_str());
    RemoveDirectoryA(scratch.c_str());
}

TEST_F(Scratch, TheScratchFolderKeepsOtherUsersOut) {
    ASSERT_FALSE(ustawtmp());
    std::string scratch = tmp_dir();
    GetCfg();
    std::string plain = NewFolder("plain") + "\\made-the-default-way";
    ASSERT_TRUE(CreateDirectoryA(plain.c_str(), nullptr));
    struct Row {
        std::string folder;
        bool open;
    } rows[] = {{plain, true}, {scratch, false}, {scratch + "\\Install", false}};
    for (const Row& r : rows)
        EXPECT_EQ(r.open, OpenToOthers(r.folder)) << r.folder;
    wyliczpliki(scratch.c_str());
    RemoveDirectoryA(scratch.c_str());
}

TEST_F(Scratch, TheProtectedDescriptorNamesOnlyTheOwners) {
    struct Row {
        const char* sid;
        const char* sddl;  // nullptr: refused
    } rows[] = {
        {"S-1-5-32-544", "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;S-1-5-32-544)"},
        {"S-1-5-21-1-2-3-1001", "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;S-1-5-21-1-2-3-1001)"},
        {"S-1-5-21-1)(A;OICI;FA;;;WD", nullptr},
        {"WD", nullptr},
        {"S-1-", nullptr},
        {"", nullptr},
    };
    for (const Row& r : rows) {
        char out[320];
        strcpy(out, "<untouched>");
        EXPECT_EQ(r.sddl != nullptr, ProtectedFolderSddl(r.sid, out, sizeof out)) << r.sid;
        if (r.sddl)
            EXPECT_STREQ(r.sddl, out) << r.sid;
    }
    char small[40];
    EXPECT_FALSE(ProtectedFolderSddl("S-1-5-32-544", small, sizeof small)) << "too small a buffer";
    ASSERT_NE(nullptr, ProtectedFolderSecurity());
    EXPECT_EQ(ProtectedFolderSecurity(), ProtectedFolderSecurity()) << "built once";
    EXPECT_FALSE(ProtectedFolderSecurity()->bInheritHandle);
}

TEST_F(Scratch, ShutdownNeverEntersALinkInTheFoldersPlace) {
    std::string root = NewFolder("shutdown");
    std::string outside = root + "\\outside";
    ASSERT_TRUE(CreateDirectoryA(outside.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(outside + "\\precious.txt", FromText("keep")));
    std::string scratch = root + "\\Brondale1";
    snprintf(tmp_dir(), MAX_PATH, "%s", scratch.c_str());
    EXPECT_FALSE(EmptyScratch()) << "no folder there";
    ASSERT_TRUE(MakeFolderLink(scratch, outside));
    EXPECT_FALSE(EmptyScratch());
    EXPECT_TRUE(Exists(outside + "\\precious.txt"));
    tmp_dir()[0] = '\0';
    EXPECT_FALSE(EmptyScratch()) << "no scratch folder chosen";
}

#ifndef _WIN32
// Tick counts and the temporary folder are set through the stand-in here;
// under Wine the end-to-end tests cover a long TEMP.
TEST_F(Scratch, NameCarriesTheSignedTickAndWaitsForAFreeOne) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    PosixSetTickCount(0x80000005u, 1);
    std::string taken = std::string(temp) + "Brondale-2147483643";
    ASSERT_TRUE(CreateDirectoryA(taken.c_str(), nullptr));
    ASSERT_FALSE(ustawtmp());
    EXPECT_EQ(std::string(temp) + "Brondale-2147483642", tmp_dir()) << "the next tick's name";
    RemoveDirectoryA(taken.c_str());
    RemoveDirectoryA(tmp_dir());
}

TEST_F(Scratch, WhenEveryNameIsTakenTheRunRefusesAndUsesNone) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    struct Row {
        unsigned taken;  // names planted from the first tick on
        bool refused;
    } rows[] = {{0, false}, {1, false}, {kScratchNames - 1, false}, {kScratchNames, true}, {kScratchNames + 5, true}};
    for (const Row& r : rows) {
        const DWORD first = 700000;
        std::vector<std::string> planted;
        for (unsigned i = 0; i < r.taken; ++i) {
            planted.push_back(std::string(temp) + "Brondale" + std::to_string(first + i));
            ASSERT_TRUE(CreateDirectoryA(planted.back().c_str(), nullptr)) << planted.back();
        }
        PosixSetTickCount(first, 1);
        EXPECT_EQ(r.refused, ustawtmp()) << r.taken << " taken";
        if (r.refused) {
            EXPECT_STREQ("", tmp_dir()) << "nothing chosen";
        } else {
            EXPECT_EQ(std::string(temp) + "Brondale" + std::to_string(first + r.taken), tmp_dir());
            EXPECT_TRUE(IsFolder(tmp_dir()));
            RemoveDirectoryA(tmp_dir());
        }
        for (const std::string& p : planted) {
            EXPECT_EQ(std::vector<std::string>{}, ListTree(p)) << p;
            RemoveDirectoryA(p.c_str());
        }
    }
    PosixSetTickCount(800000, 1);
}

TEST_F(Scratch, TooLongTempFolderIsRefused) {
    std::string folder = NewFolder("longtemp");
    std::string unixFolder = folder;
    for (char& c : unixFolder)
        if (c == '\\')
            c = '/';
    std::string longTemp = unixFolder + "/" + std::string(kMaxTempPath, 't');
    const char* old = getenv("TMPDIR");
    std::string saved = old ? old : "";
    setenv("TMPDIR", longTemp.c_str(), 1);
    tmp_dir()[0] = '\0';
    EXPECT_TRUE(ustawtmp());
    EXPECT_STREQ("", tmp_dir()) << "nothing chosen";
    if (old)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
}
#endif
