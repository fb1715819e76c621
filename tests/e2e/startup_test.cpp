// Start-up, the language page and the ways out of it, on real installer files
// made by the packing tool. Every case has its own installer file name (the
// single-instance guard goes by it), its own TEMP and its own product name.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/resource.h"
#include "harness.h"

namespace {


const char kLanguageCaption[] = "Choose Setup Language";
const char kCancelQuestion[] = "Przerwa\xE6 instalacj\xEA?";  // CP1250

class Startup : public ::testing::Test {
protected:
    void TearDown() override { Kill(&run); }
    Installer run;
};

} // namespace

TEST_F(Startup, LanguagePageListsLanguagesAndScratchHoldsTheSections) {
    std::string folder = CaseFolder("languages");
    std::string exe = BuildInstaller(folder, "e2e-languages", BasicProduct("Languages Product", {"English", "Czech", "Deutsch"}));
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run));
    HWND page = WaitForPage(run, kLanguageCaption);
    ASSERT_NE(nullptr, page);

    EXPECT_EQ("Select the language for the installation from the choices below.", ItemText(page, IDC_LANGUAGE_TEXT));
    EXPECT_EQ("Ok", ItemText(page, IDC_LANGUAGE_OK));
    EXPECT_EQ("Cancel", ItemText(page, IDC_LANGUAGE_CANCEL));
    HWND combo = GetDlgItem(page, IDC_LANGUAGE_LIST);
    std::vector<std::string> expected = {"Czech", "Deutsch", "English", "Polski"};
    EXPECT_EQ(expected, ComboItems(combo));
    EXPECT_EQ(3, ComboSelection(combo));

    std::vector<std::string> scratch = ScratchFolders(run.tempFolder);
    ASSERT_EQ(1u, scratch.size()) << "TEMP holds " << ::testing::PrintToString(ListFolder(run.tempFolder));
    // Wine derives a folder's descriptor from the one it was made with: the
    // scratch folder keeps others out, a folder made the default way does not.
    std::string dacl = FolderDacl(scratch[0]);
    EXPECT_NE("", dacl);
    EXPECT_FALSE(LetsOthersIn(dacl)) << dacl;
    EXPECT_FALSE(LetsOthersIn(FolderDacl(scratch[0] + "\\Lang"))) << FolderDacl(scratch[0] + "\\Lang");
    EXPECT_TRUE(LetsOthersIn(FolderDacl(run.tempFolder))) << FolderDacl(run.tempFolder);
    std::vector<std::string> lang = {"Czech.lng", "Deutsch.lng", "English.lng"};
    EXPECT_EQ(lang, ListFolder(scratch[0] + "\\Lang"));
    std::vector<std::string> install = {"UnInst.dat", "init.cfg"};
    EXPECT_EQ(install, ListFolder(scratch[0] + "\\Install"));
    std::string cfg;
    ASSERT_TRUE(ReadFileText(scratch[0] + "\\Install\\init.cfg", &cfg));
    EXPECT_EQ("[cfg]\r\n1=Languages Product\r\n", cfg) << "the Install section comes out descrambled";
    char value[MAX_PATH];
    GetPrivateProfileStringA("t1", "8", "", value, sizeof value, (scratch[0] + "\\init.cfg").c_str());
    EXPECT_EQ(scratch[0] + "\\Lang", value);
    GetPrivateProfileStringA("t1", "9", "", value, sizeof value, (scratch[0] + "\\init.cfg").c_str());
    EXPECT_EQ(scratch[0] + "\\Install", value);

    Click(page, IDC_LANGUAGE_CANCEL);
    HWND box = WaitForMessageBox(run);
    ASSERT_NE(nullptr, box);
    Answer(box, IDYES);
    DWORD code = 0;
    ASSERT_TRUE(WaitExit(&run, 20000, &code));
    EXPECT_EQ(1u, code);
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(scratch[0])) << "the scratch folder is emptied";
    EXPECT_TRUE(PathExists(scratch[0])) << "and stays";
}

TEST_F(Startup, WithFewerThanFourEntriesNothingIsSelected) {
    std::string folder = CaseFolder("one-language");
    std::string exe = BuildInstaller(folder, "e2e-one-language", BasicProduct("One Language", {"English"}));
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run));
    HWND page = WaitForPage(run, kLanguageCaption);
    ASSERT_NE(nullptr, page);
    std::vector<std::string> expected = {"English", "Polski"};
    EXPECT_EQ(expected, ComboItems(GetDlgItem(page, IDC_LANGUAGE_LIST)));
    EXPECT_EQ(CB_ERR, ComboSelection(GetDlgItem(page, IDC_LANGUAGE_LIST)));
}

TEST_F(Startup, CancelAsksAndNoKeepsThePage) {
    std::string folder = CaseFolder("cancel");
    std::string exe = BuildInstaller(folder, "e2e-cancel", BasicProduct("Cancel Product", {"English"}));
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run));
    HWND page = WaitForPage(run, kLanguageCaption);
    ASSERT_NE(nullptr, page);

    Click(page, IDC_LANGUAGE_CANCEL);
    HWND box = WaitForMessageBox(run);
    ASSERT_NE(nullptr, box);
    BoxInfo info = ReadBox(box);
    EXPECT_EQ(kCancelQuestion, info.text);
    EXPECT_EQ("Brondale", info.caption);
    EXPECT_TRUE(info.yes && info.no && !info.ok);
    EXPECT_EQ("question", IconKind(box));
    Answer(box, IDNO);
    for (int i = 0; i < 100 && IsWindow(box); ++i)
        Sleep(20);
    EXPECT_FALSE(IsWindow(box));
    EXPECT_TRUE(IsWindowVisible(page)) << "No leaves the page as it was";
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(run.process.hProcess, 300));

    // The title bar's close box asks the same question.
    PostMessageA(page, WM_SYSCOMMAND, SC_CLOSE, 0);
    box = WaitForMessageBox(run);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(kCancelQuestion, ReadBox(box).text);
    Answer(box, IDYES);
    DWORD code = 0;
    ASSERT_TRUE(WaitExit(&run, 20000, &code));
    EXPECT_EQ(1u, code);
}

TEST_F(Startup, EscapeDoesNothing) {
    std::string folder = CaseFolder("escape");
    std::string exe = BuildInstaller(folder, "e2e-escape", BasicProduct("Escape Product", {"English"}));
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run));
    HWND page = WaitForPage(run, kLanguageCaption);
    ASSERT_NE(nullptr, page);
    PostMessageA(GetDlgItem(page, IDC_LANGUAGE_LIST), WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(page, WM_KEYDOWN, VK_ESCAPE, 0);
    Sleep(500);
    EXPECT_EQ(nullptr, WaitForMessageBox(run, 200));
    EXPECT_TRUE(IsWindowVisible(page));
}

namespace {

// Runs an installer that must report a damaged package: every message box is
// answered, the language page must never appear, the program must end.
void ExpectCorrupt(Installer* run) {
    int reports = 0;
    bool pageSeen = false;
    DWORD code = 0;
    for (int i = 0; i < 1000; ++i) {
        for (HWND w : Dialogs(run->process.dwProcessId)) {
            if (!IsMessageBox(w)) {
                pageSeen = pageSeen || Text(w) == kLanguageCaption;
                continue;
            }
            BoxInfo info = ReadBox(w);
            EXPECT_EQ("File is corupted.", info.text);
            EXPECT_EQ("Brondale", info.caption);
            EXPECT_TRUE(info.ok && !info.yes && !info.no);
            EXPECT_EQ("error", IconKind(w));
            ++reports;
            Answer(w, IDOK);
            for (int j = 0; j < 100 && IsWindow(w); ++j)
                Sleep(20);
        }
        if (WaitForSingleObject(run->process.hProcess, 20) == WAIT_OBJECT_0)
            break;
    }
    ASSERT_TRUE(WaitExit(run, 5000, &code)) << "the installer did not end";
    EXPECT_GE(reports, 1);
    EXPECT_FALSE(pageSeen) << "the language page appeared";
}

} // namespace

TEST_F(Startup, DamagedPackageIsReportedAndEnds) {
    std::string folder = CaseFolder("damaged");
    std::string exe = BuildInstaller(folder, "e2e-damaged", BasicProduct("Damaged Product", {"English", "Czech"}));
    std::string data;
    ASSERT_TRUE(ReadFileText(exe, &data));
    // Flip a byte inside the Lang section's last member, just before its
    // gzip trailer.
    size_t section = FirstSectionAt(data);
    ASSERT_EQ("GZC", data.substr(section, 3));
    uint32_t count = *reinterpret_cast<const uint32_t*>(&data[section + 11]);
    uint32_t end = *reinterpret_cast<const uint32_t*>(&data[section + 15 + 4 * count]);
    data[section + end - 12] ^= 0x20;
    ASSERT_TRUE(WriteFileText(exe, data));
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run));
    ExpectCorrupt(&run);
    std::vector<std::string> scratch = ScratchFolders(folder + "\\temp");
    ASSERT_EQ(1u, scratch.size());
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(scratch[0]));
}

TEST_F(Startup, InstallerWithoutPackageIsReportedAndEnds) {
    std::string folder = CaseFolder("nopackage");
    std::string exe = folder + "\\e2e-nopackage.exe";
    ASSERT_TRUE(CopyFileA((BuildFolder() + "\\brondale.exe").c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run));
    ExpectCorrupt(&run);
}

TEST_F(Startup, SecondCopyOfTheSameFileExitsAtOnce) {
    std::string folder = CaseFolder("second");
    std::string exe = BuildInstaller(folder, "e2e-second", BasicProduct("Second Product", {"English"}));
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run));
    HWND page = WaitForPage(run, kLanguageCaption);
    ASSERT_NE(nullptr, page);

    Installer second;
    ASSERT_TRUE(Start(exe, folder + "\\temp2", &second));
    DWORD pid = second.process.dwProcessId;
    DWORD code = 99;
    ASSERT_TRUE(WaitExit(&second, 10000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(Dialogs(pid).empty());
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(folder + "\\temp2")) << "nothing is created";

    // A different file name is another installer and may run beside it.
    std::string other = folder + "\\e2e-second-other.exe";
    ASSERT_TRUE(CopyFileA(exe.c_str(), other.c_str(), FALSE));
    Installer third;
    ASSERT_TRUE(Start(other, folder + "\\temp3", &third));
    EXPECT_NE(nullptr, WaitForPage(third, kLanguageCaption));
    Kill(&third);
}

TEST_F(Startup, UnusableTempFolderIsReportedAndNothingIsCreated) {
    std::string folder = CaseFolder("longtemp");
    std::string exe = BuildInstaller(folder, "e2e-longtemp", BasicProduct("Long Temp", {"English"}));
    std::string temp = folder + "\\" + std::string(100, 't') + "\\" + std::string(60, 'u');
    ASSERT_TRUE(Start(exe, temp, &run));
    HWND box = WaitForMessageBox(run);
    ASSERT_NE(nullptr, box);
    BoxInfo info = ReadBox(box);
    EXPECT_EQ("The temporary folder cannot be used.", info.text);
    EXPECT_EQ("Brondale", info.caption);
    EXPECT_EQ("error", IconKind(box));
    Answer(box, IDOK);
    DWORD code = 99;
    ASSERT_TRUE(WaitExit(&run, 20000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(temp));
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!::testing::GTEST_FLAG(list_tests) && !getenv("DISPLAY")) {
        fprintf(stderr, "e2e_tests: no DISPLAY; scripts/test.sh runs these on Xvfb\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
