// The scratch folder and its settings file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "helpers.h"
#include "platform/win32api.h"
#include "base/files.h"
#include "trust/scratch.h"
#include "trust/folder.h"
#include "trust/held.h"
#include "trust/leftovers.h"
#include "trust/tempfolder.h"
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

// The temporary folder as the system names it.
std::string Temp() {
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof temp, temp);
    return n > 0 && n < sizeof temp ? temp : "";
}

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

// TEMP, "Brondale" and 16 lower-case hexadecimal digits.
bool IsRandomName(const std::string& scratch, const std::string& temp) {
    std::string prefix = temp + "Brondale";
    return scratch.size() == prefix.size() + 16 && scratch.compare(0, prefix.size(), prefix) == 0 &&
           scratch.find_first_not_of("0123456789abcdef", prefix.size()) == std::string::npos;
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

// The keys by name land under the numbers every part of the run reads.
TEST_F(Scratch, EachNamedKeyIsItsNumberInTheSettingsFile) {
    snprintf(tmp_dir(), MAX_PATH, "%s", NewFolder("named-keys").c_str());
    struct Row {
        ScratchKey key;
        const char* name;
        const char* value;
    } rows[] = {{kScratchLanguage, "8", "C:\\T\\Lang"},
                {kScratchInstall, "9", "C:\\T\\Install"},
                {kScratchDestination, "10", "D:\\Program Files\\Product\\"},
                {kScratchRecord, "11", "D:\\Program Files\\Product\\UnInstall\\UnInst.cfg"}};
    char buffer[MAX_PATH];
    for (const Row& r : rows) {
        EXPECT_FALSE(ScratchRead(r.key, buffer, sizeof buffer)) << r.name << ": never written";
        EXPECT_STREQ("", buffer) << r.name;
        EXPECT_TRUE(ScratchWrite(r.key, r.value)) << r.name;
    }
    for (const Row& r : rows) {
        EXPECT_EQ(r.value, Read(r.name)) << "key " << r.name;
        EXPECT_TRUE(ScratchRead(r.key, buffer, sizeof buffer)) << r.name;
        EXPECT_STREQ(r.value, buffer) << r.name;
    }
    char small[8];
    EXPECT_TRUE(ScratchRead(kScratchDestination, small, sizeof small));
    EXPECT_STREQ("D:\\Prog", small) << "cut to the buffer with its terminator";
}

TEST_F(Scratch, GetCfgCreatesLangAndInstallAndRecordsThem) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string names[2];
    for (std::string& scratch : names) {
        ASSERT_FALSE(ustawtmp(Temp().c_str()));
        scratch = tmp_dir();
        ASSERT_TRUE(IsRandomName(scratch, temp)) << scratch;
        GetCfg();
        EXPECT_TRUE(IsFolder(scratch + "\\Lang"));
        EXPECT_TRUE(IsFolder(scratch + "\\Install"));
        EXPECT_EQ(scratch + "\\Lang", Read("8"));
        EXPECT_EQ(scratch + "\\Install", Read("9"));
        EXPECT_TRUE(EmptyScratch());
        EXPECT_EQ(std::vector<std::string>{}, ListTree(scratch)) << "Lang and Install go too";
        EXPECT_TRUE(RemoveDirectoryA(scratch.c_str())) << "let go at the end";
    }
    EXPECT_NE(names[0], names[1]);
}

// What another process of the same user tries while the installer runs:
// the folders are held without delete sharing, so no rename and no delete
// gets through until the end of the run; files still go in.
TEST_F(Scratch, TheHeldFoldersCannotBeRenamedOrDeletedUntilTheEnd) {
    ASSERT_FALSE(ustawtmp(Temp().c_str()));
    std::string scratch = tmp_dir();
    GetCfg();
    ASSERT_TRUE(WriteBytes(scratch + "\\Install\\init.cfg", FromText("[cfg]\r\n")));
    for (const std::string& folder : {scratch, scratch + "\\Lang", scratch + "\\Install"}) {
        SetLastError(0);
        EXPECT_FALSE(MoveFileA(folder.c_str(), (folder + "-moved").c_str())) << folder;
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError()) << folder;
        HANDLE forDelete = CreateFileA(folder.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        EXPECT_EQ(INVALID_HANDLE_VALUE, forDelete) << folder << ": opened for deletion";
        if (forDelete != INVALID_HANDLE_VALUE)
            CloseHandle(forDelete);
        EXPECT_FALSE(Exists(folder + "-moved"));
    }
    EXPECT_FALSE(RemoveDirectoryA((scratch + "\\Lang").c_str())) << "empty, but held";
    EXPECT_TRUE(IsFolder(scratch + "\\Lang"));
    EXPECT_TRUE(EmptyScratch());
    std::string moved = scratch + "-moved";
    EXPECT_TRUE(MoveFileA(scratch.c_str(), moved.c_str())) << "let go at the end";
    RemoveDirectoryA(moved.c_str());
    RemoveDirectoryA(scratch.c_str());
}

TEST_F(Scratch, TheScratchFolderKeepsOtherUsersOut) {
    ASSERT_FALSE(ustawtmp(Temp().c_str()));
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
    EmptyScratch();
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
        if (r.sddl) {
            EXPECT_STREQ(r.sddl, out) << r.sid;
        }
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

TEST(Leftovers, OnlyOurNamesCount) {
    struct Row {
        const char* name;
        bool ours;
    } rows[] = {
        {"Brondale0123456789abcdef", true},       {"BrondaleUnInst0123456789abcdef", true},
        {"Brondale0123456789ABCDEF", false},      {"Brondale0123456789abcde", false},
        {"Brondale0123456789abcdef0", false},     {"BrondaleUnInst0123456789abcde", false},
        {"Brondale0123456789abcdeg", false},      {"brondale0123456789abcdef", false},
        {"BrondaleUninst0123456789abcdef", false}, {"Brondale", false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.ours, IsScratchFolderName(r.name)) << r.name;
}

// The folders that runs which did not end left are removed whole, the
// installer's and the uninstaller's; a live run's (held), a name of another
// form and a file of our name stay.
TEST(Leftovers, FoldersOfDeadRunsGoAndEveryOtherStays) {
    std::string temp = NewFolder("leftovers") + "\\";
    const std::string dead[] = {temp + "Brondale0123456789abcdef", temp + "BrondaleUnInst00000000000000ff"};
    for (const std::string& folder : dead) {
        HANDLE h = CreateHeldFolder(folder.c_str());
        ASSERT_NE(INVALID_HANDLE_VALUE, h) << folder;
        ReleaseHeld(&h);
        ASSERT_TRUE(CreateDirectoryA((folder + "\\Lang").c_str(), nullptr));
        ASSERT_TRUE(WriteBytes(folder + "\\Lang\\English.lng", FromText("[lng]\r\n")));
        ASSERT_TRUE(WriteBytes(folder + "\\init.cfg", FromText("[cfg]\r\n")));
    }
    std::string live = temp + "Brondalefedcba9876543210";
    HANDLE held = CreateHeldFolder(live.c_str());
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ASSERT_TRUE(CreateDirectoryA((temp + "Brondale-fedcba987654321").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(temp + "Brondale1111111111111111", FromText("a file")));

    EXPECT_EQ(2u, RemoveDeadScratchFolders(temp.c_str()));
    for (const std::string& folder : dead)
        EXPECT_FALSE(Exists(folder)) << folder;
    EXPECT_TRUE(IsFolder(live)) << "a live run's";
    EXPECT_TRUE(IsFolder(temp + "Brondale-fedcba987654321"));
    EXPECT_TRUE(Exists(temp + "Brondale1111111111111111"));
    ReleaseHeld(&held);
    RemoveDirectoryA(live.c_str());
    RemoveDirectoryA((temp + "Brondale-fedcba987654321").c_str());
    DeleteFileA((temp + "Brondale1111111111111111").c_str());
}

#ifndef _WIN32
// The random generator and the temporary folder are set through the stand-in
// here; under Wine the end-to-end tests cover a long TEMP.
std::string CounterName(const char* temp, uint64_t value) {
    char digits[17];
    snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(value));
    return std::string(temp) + "Brondale" + digits;
}

TEST_F(Scratch, WhenEveryNameIsTakenTheRunRefusesAndUsesNone) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    struct Row {
        unsigned taken;  // names planted from the first random value on
        bool refused;
    } rows[] = {{0, false}, {1, false}, {kScratchNames - 1, false}, {kScratchNames, true}, {kScratchNames + 5, true}};
    for (const Row& r : rows) {
        const uint64_t first = 0x8000000000000005ull;
        std::vector<std::string> planted;
        for (unsigned i = 0; i < r.taken; ++i) {
            planted.push_back(CounterName(temp, first + i));
            ASSERT_TRUE(CreateDirectoryA(planted.back().c_str(), nullptr)) << planted.back();
        }
        PosixSetRandomCounter(true, first);
        EXPECT_EQ(r.refused, ustawtmp(Temp().c_str())) << r.taken << " taken";
        if (r.refused) {
            EXPECT_STREQ("", tmp_dir()) << "nothing chosen";
        } else {
            EXPECT_EQ(CounterName(temp, first + r.taken), tmp_dir()) << "the next random name";
            EXPECT_TRUE(IsFolder(tmp_dir()));
            GetCfg();
            EmptyScratch();
            RemoveDirectoryA(tmp_dir());
        }
        for (const std::string& p : planted) {
            EXPECT_EQ(std::vector<std::string>{}, ListTree(p)) << "nothing was written into " << p;
            RemoveDirectoryA(p.c_str());
        }
    }
    PosixSetRandomCounter(false, 0);
}

// A link stands where a held folder should be (put there between its
// creation and its opening): the handle shows it, and it is never used.
TEST_F(Scratch, OnlyAPlainFolderPassesTheHeldCheck) {
    std::string root = NewFolder("heldcheck");
    ASSERT_TRUE(CreateDirectoryA((root + "\\folder").c_str(), nullptr));
    ASSERT_TRUE(MakeLink(root + "\\folder", root + "\\link"));
    ASSERT_TRUE(WriteBytes(root + "\\file", FromText("a file")));
    struct Row {
        const char* name;
        bool plain;
    } rows[] = {{"folder", true}, {"link", false}, {"file", false}};
    for (const Row& r : rows) {
        HANDLE h = CreateFileA((root + "\\" + r.name).c_str(), GENERIC_READ, kHeldSharing, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h) << r.name;
        EXPECT_EQ(r.plain, IsPlainFolder(h)) << r.name;
        CloseHandle(h);
    }
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateHeldFolder((root + "\\link").c_str())) << "a name that is taken";
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    HANDLE held = CreateHeldFolder((root + "\\new").c_str());
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_TRUE(IsPlainFolder(held));
    ReleaseHeld(&held);
    EXPECT_EQ(INVALID_HANDLE_VALUE, held);
    ReleaseHeld(&held);
}

#endif

// The temporary folder the scratch folder goes in: the user's own when the
// code page writes its name (a candidate it cannot write arrives as null),
// else its short form or the Windows one, whichever is written and short
// enough for the scratch paths; none at all refuses the run.
TEST_F(Scratch, TheTemporaryFolderIsTheUsersOwnOrWhatStandsInForIt) {
    const std::string fits(kMaxTempPath - 1, 't');
    const std::string tooLong(kMaxTempPath, 't');
    const std::string tooLongWithSlash = tooLong + "\\";
    const char* user = "C:\\Users\\Lukas\\AppData\\Local\\Temp\\";
    const char* shortForm = "C:\\Users\\UKASZ~1\\AppData\\Local\\Temp\\";
    const char* windows = "C:\\Windows\\Temp\\";
    struct Row {
        const char* label;
        TempCandidates candidates;
        TempSource source;
        std::string chosen;
    } rows[] = {
        {"the user's own", {user, shortForm, windows}, kTempAsNamed, user},
        {"a name the code page cannot write: its short form", {nullptr, shortForm, windows}, kTempShortName,
         shortForm},
        {"no short form either: the Windows folder", {nullptr, nullptr, windows}, kTempWindows, windows},
        {"an empty short form counts as none", {nullptr, "", windows}, kTempWindows, windows},
        {"a short form too long: the Windows folder", {nullptr, tooLongWithSlash.c_str(), windows}, kTempWindows,
         windows},
        {"a name that is written but too long goes nowhere else", {tooLongWithSlash.c_str(), shortForm, windows},
         kTempNone, ""},
        {"an empty name that is written goes nowhere else", {"", shortForm, windows}, kTempNone, ""},
        {"the backslash is added, and counts", {fits.c_str(), nullptr, nullptr}, kTempAsNamed, fits + "\\"},
        {"the backslash makes it too long", {tooLong.c_str(), nullptr, nullptr}, kTempNone, ""},
        {"nothing at all", {nullptr, nullptr, nullptr}, kTempNone, ""},
    };
    for (const Row& r : rows) {
        char out[MAX_PATH];
        memset(out, 'x', sizeof out);
        EXPECT_EQ(r.source, ChooseTempFolder(r.candidates, out, sizeof out)) << r.label;
        EXPECT_EQ(r.chosen, out) << r.label;
    }
    char small[8];
    EXPECT_EQ(kTempNone, ChooseTempFolder({windows, nullptr, nullptr}, small, sizeof small)) << "a buffer too small";
}

TEST_F(Scratch, ATemporaryFolderTooLongOrEmptyGetsNoScratchFolder) {
    std::string folder = NewFolder("longtemp");
    for (const std::string& temp : {folder + "\\" + std::string(kMaxTempPath, 't'), std::string()}) {
        tmp_dir()[0] = '\0';
        EXPECT_TRUE(ustawtmp(temp.c_str())) << temp.size();
        EXPECT_STREQ("", tmp_dir()) << "nothing chosen";
    }
    EXPECT_EQ(std::vector<std::string>{}, ListTree(folder)) << "nothing was made";
}
