// Unpacking the program: the progress page and its worker, cancelling while
// it runs, a damaged program section, and the options page.
#include <algorithm>

#include "wizard.h"

namespace {

using Unpack = Wizard;

// Where the three sections of an installer file start.
std::vector<size_t> SectionStarts(const std::string& data) {
    size_t at = FirstSectionAt(data);
    std::vector<size_t> starts;
    for (int s = 0; s < 3 && at + 15 <= data.size(); ++s) {
        starts.push_back(at);
        uint32_t count = *reinterpret_cast<const uint32_t*>(&data[at + 11]);
        at += *reinterpret_cast<const uint32_t*>(&data[at + 15 + 4 * count]);
    }
    return starts;
}

ProductFiles Payload(const std::string& name) {
    ProductFiles files = BasicProduct(name, {"English"});
    files["program\\bin\\app.exe"] = std::string(3 << 20, 'x') + "end";
    std::string noise(1 << 20, '\0');
    uint32_t x = 1;
    for (char& c : noise) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    files["program\\data\\noise.bin"] = noise;
    files["program\\doc\\readme.txt"] = "Read me";
    files["program\\empty.dat"] = "";
    return files;
}

} // namespace

TEST_F(Unpack, FullRunReachesTheOptionsPageWithEveryFileInPlace) {
    ProductFiles files = Payload("Unpack Full");
    std::string destination = CaseFolder("unpack-full-dest") + "\\Target";
    HWND progress = ToProgress("unpack-full", files, destination);
    ASSERT_NE(nullptr, progress);
    HWND options = WaitForPageWith(IDC_OPTION_RUN, 60000);
    ASSERT_NE(nullptr, options);
    EXPECT_TRUE(IsWindow(progress) && !IsWindowVisible(progress)) << "the progress page is hidden, not ended";
    EXPECT_EQ(progress, GetWindow(options, GW_OWNER));
    EXPECT_EQ("100%", ItemText(progress, IDC_PROGRESS_PERCENT));
    EXPECT_EQ("100%", ItemText(progress, IDC_PROGRESS_FILE_PERCENT));
    EXPECT_EQ(100, SendMessageW(GetDlgItem(progress, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0));
    EXPECT_EQ(100, SendMessageW(GetDlgItem(progress, IDC_PROGRESS_FILE_BAR), PBM_GETPOS, 0, 0));
    for (const auto& f : files) {
        if (f.first.compare(0, 8, "program\\") != 0)
            continue;
        std::string got;
        ASSERT_TRUE(ReadFileText(destination + "\\" + f.first.substr(8), &got)) << f.first;
        EXPECT_TRUE(got == f.second) << f.first;
    }
    // The options page's finish button ends the wizard for now without asking.
    Click(options, IDC_OPTIONS_FINISH);
    DWORD code = 0;
    ASSERT_TRUE(WaitExit(&run, 30000, &code));
    EXPECT_EQ(1u, code);
}

TEST_F(Unpack, CancelWhileUnpackingRemovesOnlyWhatTheInstallationWrote) {
    ProductFiles files = BasicProduct("Unpack Cancel", {"English"});
    for (int i = 0; i < 3; ++i)
        files["program\\big\\part" + std::to_string(i) + ".bin"] = std::string(300u << 20, '\0');
    std::string destination = CaseFolder("unpack-cancel-dest");
    ASSERT_TRUE(WriteFileText(destination + "\\mine.txt", "was here"));
    ASSERT_TRUE(CreateDirectoryA((destination + "\\big").c_str(), nullptr));
    ASSERT_TRUE(WriteFileText(destination + "\\big\\keep.txt", "mine too"));
    HWND progress = ToProgress("unpack-cancel", files, destination);
    ASSERT_NE(nullptr, progress);
    std::string scratch = Scratch();
    CancelWithYes(progress, IDC_PROGRESS_CANCEL);
    std::vector<std::string> expected = {"big\\", "mine.txt"};
    EXPECT_EQ(expected, ListFolder(destination));
    EXPECT_EQ(std::vector<std::string>{"keep.txt"}, ListFolder(destination + "\\big"));
    ASSERT_FALSE(scratch.empty());
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(scratch)) << "the scratch folder is emptied";
}

TEST_F(Unpack, AnsweringNoLetsTheUnpackingFinish) {
    ProductFiles files = BasicProduct("Unpack No", {"English"});
    files["program\\big.bin"] = std::string(400u << 20, '\0');
    std::string destination = CaseFolder("unpack-no-dest") + "\\App";
    HWND progress = ToProgress("unpack-no", files, destination);
    ASSERT_NE(nullptr, progress);
    Click(progress, IDC_PROGRESS_CANCEL);
    HWND box = WaitForMessageBox(run);
    ASSERT_NE(nullptr, box);
    Answer(box, IDNO);
    HWND options = WaitForPageWith(IDC_OPTION_RUN, 120000);
    ASSERT_NE(nullptr, options);
    WIN32_FILE_ATTRIBUTE_DATA info;
    ASSERT_TRUE(GetFileAttributesExA((destination + "\\big.bin").c_str(), GetFileExInfoStandard, &info));
    EXPECT_EQ(400u << 20, info.nFileSizeLow);
}

TEST_F(Unpack, DamagedProgramSectionIsReportedAndTakenBack) {
    ProductFiles files = Payload("Unpack Damaged");
    folder = CaseFolder("unpack-damaged");
    std::string exe = BuildInstaller(folder, "e2e-unpack-damaged", files);
    std::string data;
    ASSERT_TRUE(ReadFileText(exe, &data));
    std::vector<size_t> starts = SectionStarts(data);
    ASSERT_EQ(3u, starts.size());
    // Inside the compressed data of the program section's largest member.
    data[starts[2] + (data.size() - starts[2]) / 2] ^= 0x40;
    ASSERT_TRUE(WriteFileText(exe, data));
    std::string destination = CaseFolder("unpack-damaged-dest");
    ASSERT_TRUE(WriteFileText(destination + "\\mine.txt", "was here"));

    ASSERT_NE(nullptr, StartAndPressNext(exe, destination));
    HWND box = WaitForMessageBox(run, 60000);
    ASSERT_NE(nullptr, box);
    BoxInfo info = ReadBox(box);
    EXPECT_EQ("File is corupted.", info.text);
    EXPECT_EQ("Brondale", info.caption);
    EXPECT_EQ("error", IconKind(box));
    EXPECT_EQ(std::vector<std::string>{"mine.txt"}, ListFolder(destination)) << "taken back before the message";
    Answer(box, IDOK);
    DWORD code = 0;
    ASSERT_TRUE(WaitExit(&run, 30000, &code)) << "all pages end without a question";
    EXPECT_EQ(1u, code);
    EXPECT_EQ(std::vector<std::string>{"mine.txt"}, ListFolder(destination));
}

TEST_F(Unpack, OptionBoxesAreEnabledByTheConfiguration) {
    struct Row {
        const char* label;
        std::string init, lnk;
        bool enabled[4];  // the four boxes, IDC_OPTION_DESKTOP to IDC_OPTION_RUN
    } rows[] = {
        {"nothing configured", "", "", {false, false, false, false}},
        {"desktop list count 1, information file, run on request",
         "3=readme.txt\r\n[index]\r\nmax=2\r\n[Run]\r\n1=a.exe\r\n[silent]\r\n1=1\r\n2=0\r\n",
         "[index1]\r\nmax=1\r\n", {true, false, true, true}},
        {"start menu list; nothing on request", "[index]\r\nmax=3\r\n[silent]\r\n1=1\r\n2=1\r\n",
         "[index2]\r\nmax=0\r\n", {false, true, false, false}},
        {"an entry starting with 0", "[index]\r\nmax=3\r\n[silent]\r\n1=1\r\n2=01\r\n", "", {false, false, false, true}},
    };
    int n = 0;
    for (const Row& r : rows) {
        ProductFiles files = BasicProduct("Options " + std::to_string(n), {"English"});
        files["install\\init.cfg"] = "[cfg]\r\n1=Options " + std::to_string(n) + "\r\n" + r.init;
        if (!r.lnk.empty())
            files["install\\lnk.cfg"] = r.lnk;
        std::string name = "unpack-options-" + std::to_string(n++);
        HWND progress = ToProgress(name, files, CaseFolder(name + "-dest") + "\\App");
        ASSERT_NE(nullptr, progress) << r.label;
        HWND options = WaitForPageWith(IDC_OPTION_RUN);
        ASSERT_NE(nullptr, options) << r.label;
        for (int i = 0; i < 4; ++i) {
            EXPECT_TRUE(Checked(options, IDC_OPTION_DESKTOP + i)) << r.label << ": every box starts ticked";
            EXPECT_EQ(r.enabled[i], Enabled(GetDlgItem(options, IDC_OPTION_DESKTOP + i))) << r.label << ", box " << i;
        }
        CancelWithYes(options, 0);
    }
}

TEST_F(Unpack, ClosingTheOptionsPageAsksAndCleansUp) {
    ProductFiles files = Payload("Unpack Close");
    std::string destination = CaseFolder("unpack-close-dest");
    ASSERT_TRUE(WriteFileText(destination + "\\mine.txt", "was here"));
    ASSERT_TRUE(CreateDirectoryA((destination + "\\doc").c_str(), nullptr));
    HWND progress = ToProgress("unpack-close", files, destination);
    ASSERT_NE(nullptr, progress);
    HWND options = WaitForPageWith(IDC_OPTION_RUN, 60000);
    ASSERT_NE(nullptr, options);
    EXPECT_TRUE(PathExists(destination + "\\bin\\app.exe"));
    CancelWithYes(options, 0);
    std::vector<std::string> expected = {"doc\\", "mine.txt"};
    EXPECT_EQ(expected, ListFolder(destination)) << "what was there before stays, the rest is gone";
}

TEST_F(Unpack, EmptiedDestinationIsRemovedAfterACancel) {
    ProductFiles files = Payload("Unpack Fresh");
    std::string destination = CaseFolder("unpack-fresh-dest") + "\\Fresh";
    HWND progress = ToProgress("unpack-fresh", files, destination);
    ASSERT_NE(nullptr, progress);
    HWND options = WaitForPageWith(IDC_OPTION_RUN, 60000);
    ASSERT_NE(nullptr, options);
    CancelWithYes(options, 0);
    EXPECT_FALSE(PathExists(destination));
}

// The destination page created the chosen folder's parents as well: a
// cancel removes every one of them, as they are empty again.
TEST_F(Unpack, CancelRemovesTheFoldersTheDestinationPageCreated) {
    std::string root = CaseFolder("unpack-parents-dest");
    std::string destination = root + "\\New\\Parent\\Fresh";
    HWND progress = ToProgress("unpack-parents", Payload("Unpack Parents"), destination);
    ASSERT_NE(nullptr, progress);
    HWND options = WaitForPageWith(IDC_OPTION_RUN, 60000);
    ASSERT_NE(nullptr, options);
    CancelWithYes(options, 0);
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(root));
}

namespace {

using Links = Wizard;

} // namespace

// A link planted beforehand from the Linux side (the links fixture of
// CTest): below folder-dest, bin\\sub leads to the folder outside. Wine shows
// it as a reparse point and would write through it. (A link to a file reads
// back under Wine as a plain file, and a rename moves what it points to, so
// that case is shown by the unit tests on the stand-in.)
TEST_F(Links, LinkBelowAnExistingDestinationIsNotFollowed) {
    std::string root = std::string("Z:") + BRONDALE_LINKS_DIR;
    std::replace(root.begin(), root.end(), '/', '\\');
    ASSERT_TRUE(PathExists(root + "\\outside")) << "the links fixture of CTest plants the layout";
    ProductFiles files = BasicProduct("Links Folder", {"English"});
    files["program\\bin\\sub\\app.exe"] = "would land outside";
    files["program\\bin\\sub\\deeper\\x.txt"] = "would land outside";
    std::string destination = root + "\\folder-dest";
    std::vector<std::string> before = ListFolder(destination);
    HWND progress = ToProgress("links-folder", files, destination);
    ASSERT_NE(nullptr, progress);
    HWND box = WaitForMessageBox(run, 60000);
    ASSERT_NE(nullptr, box);
    BoxInfo info = ReadBox(box);
    EXPECT_NE(std::string::npos, info.text.find(destination + "\\bin\\sub")) << info.text;
    EXPECT_EQ(0u, info.text.find("Instalacja nie zapisuje przez dowi\xB9zanie")) << info.text;
    EXPECT_EQ("error", IconKind(box));
    Answer(box, IDOK);
    DWORD code = 0;
    ASSERT_TRUE(WaitExit(&run, 30000, &code));
    EXPECT_EQ(1u, code);
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(root + "\\outside")) << "nothing written through the link";
    EXPECT_EQ(before, ListFolder(destination)) << "taken back";
}

// A destination that is a link, or lies below one, planted from the Linux
// side (the links fixture: dest-link leads to the folder outside). Wine keeps
// no owners: every file reads as the user's, as a link a user made would on
// Windows, so the link is refused; an administrator's junction is accepted
// only by the owner rule, shown by the unit tests. Nothing is written through
// the link, neither in a silent run (exit code 4) nor from the page.
TEST_F(Links, ADestinationThroughALinkIsRefusedBeforeAnythingIsWritten) {
    std::string root = std::string("Z:") + BRONDALE_LINKS_DIR;
    std::replace(root.begin(), root.end(), '/', '\\');
    ASSERT_TRUE(PathExists(root + "\\dest-link")) << "the links fixture of CTest plants the layout";
    std::string link = root + "\\dest-link";
    ProductFiles files = BasicProduct("Links Destination", {"English"});
    folder = CaseFolder("links-destination");
    std::string exe = BuildInstaller(folder, "e2e-links-destination", files);
    for (const std::string& destination : {link, link + "\\App", link + "\\App\\Deeper\\"}) {
        SCOPED_TRACE(destination);
        std::string log = folder + "\\install.log";
        ASSERT_TRUE(Start(exe, folder + "\\temp", &run, {}, "/S /LOG=" + log + " /D=" + destination));
        DWORD code = 99;
        ASSERT_TRUE(WaitExit(&run, 60000, &code));
        EXPECT_EQ(4u, code);
        EXPECT_EQ(std::vector<std::string>{}, ListFolder(root + "\\outside")) << "nothing written through the link";
        std::string text;
        ASSERT_TRUE(ReadFileText(log, &text));
        EXPECT_NE(std::string::npos, text.find("destination: " + link + " is a link or junction owned by ")) << text;
        EXPECT_NE(std::string::npos, text.find("exit code: 4\r\n")) << text;
    }

    // The destination page: the refusal names the link, the page stays.
    ASSERT_NE(nullptr, StartAndPressNext(exe, link + "\\App"));
    HWND box = WaitForMessageBox(run);
    ASSERT_NE(nullptr, box);
    BoxInfo info = ReadBox(box);
    EXPECT_EQ(0u, info.text.find("Wybrany folder jest dowi\xB9zaniem")) << info.text;
    EXPECT_NE(std::string::npos, info.text.find("\r\n" + link)) << info.text;
    EXPECT_EQ("error", IconKind(box));
    Answer(box, IDOK);
    HWND page = WaitForPageWith(IDC_DESTINATION_PATH);
    ASSERT_NE(nullptr, page) << "the destination page stays open";
    EXPECT_EQ(link + "\\App", ItemText(page, IDC_DESTINATION_PATH));
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(root + "\\outside"));
    // A folder beside the link is accepted.
    SetItemText(page, IDC_DESTINATION_PATH, root + "\\beside");
    Click(page, IDC_DESTINATION_NEXT);
    HWND options = WaitForPageWith(IDC_OPTION_RUN, 60000);
    ASSERT_NE(nullptr, options);
    EXPECT_TRUE(PathExists(root + "\\beside\\Links Destination.txt"));
    CancelWithYes(options, 0);
    EXPECT_FALSE(PathExists(root + "\\beside")) << "taken back";
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(root + "\\outside"));
}
