// The scratch folder and its settings file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "helpers.h"
#include "platform/win32api.h"
#include "shell/files.h"
#include "shell/scratch.h"

namespace {

// Keeps the run's scratch path and puts it back after the test.
class Scratch : public ::testing::Test {
protected:
    void SetUp() override { memcpy(saved, tmp_dir(), sizeof saved); }
    void TearDown() override { memcpy(tmp_dir(), saved, sizeof saved); }
    char saved[MAX_PATH];
};

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
    ASSERT_FALSE(ustawtmp());
    std::string planted = tmp_dir();
    ASSERT_TRUE(CreateDirectoryA(planted.c_str(), nullptr));
    GetCfg();
    std::string scratch = tmp_dir();
    EXPECT_NE(planted, scratch);
    EXPECT_EQ(std::vector<std::string>{}, ListTree(planted)) << "nothing was written into the planted folder";
    EXPECT_TRUE(IsFolder(scratch + "\\Lang"));
    RemoveDirectoryA(planted.c_str());
    wyliczpliki(scratch.c_str());
    RemoveDirectoryA(scratch.c_str());
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
