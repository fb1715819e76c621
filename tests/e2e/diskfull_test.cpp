// A destination drive that fills up while the program is unpacked: drive Q:
// is an 8 MB tmpfs (scripts/diskfull-drive.sh, mounted by CTest's diskfull
// fixture), smaller than the program section. The installer must report the
// failure, take back what it wrote, keep what was there and end, not hang.
#include <cstdio>

#include "wizard.h"

namespace {

using DiskFull = Wizard;

const char kDrive[] = "Q:\\";

// Free bytes on drive Q:, or -1 when there is no such drive.
long long FreeBytes() {
    ULARGE_INTEGER free{}, total{}, totalFree{};
    if (!GetDiskFreeSpaceExA(kDrive, &free, &total, &totalFree))
        return -1;
    return static_cast<long long>(free.QuadPart);
}

} // namespace

TEST_F(DiskFull, FullDestinationIsReportedAndTakenBack) {
    long long freeBefore = FreeBytes();
    ASSERT_GT(freeBefore, 0) << "drive Q: is missing: CTest mounts it with the diskfull fixture "
                                "(scripts/diskfull-drive.sh mount DIR, as root, BRONDALE_WINEPREFIX set)";
    ASSERT_LT(freeBefore, 64ll << 20) << "drive Q: is not the small test drive";
    std::string destination = std::string(kDrive) + "Dest";
    CreateDirectoryA(destination.c_str(), nullptr);
    ASSERT_TRUE(WriteFileText(destination + "\\mine.txt", "was here"));
    long long freeWithMine = FreeBytes();

    ProductFiles files = BasicProduct("Disk Full", {"English"});
    files["program\\a-first.txt"] = "written before the drive fills";
    // Zeros pack small, but unpacked they pass the drive's size twice.
    files["program\\big\\zeros.bin"] = std::string(16u << 20, '\0');
    files["program\\z-last.txt"] = "never reached";
    HWND progress = ToProgress("diskfull", files, destination);
    ASSERT_NE(nullptr, progress);

    HWND box = WaitForMessageBox(run, 60000);
    ASSERT_NE(nullptr, box) << "no message about the failed unpacking";
    BoxInfo info = ReadBox(box);
    // The package is whole: the message says what really went wrong.
    EXPECT_EQ("The files cannot be written. The disk may be full or the folder read-only.", info.text);
    EXPECT_EQ("Brondale", info.caption);
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(std::vector<std::string>{"mine.txt"}, ListFolder(destination)) << "taken back before the message";
    std::string mine;
    EXPECT_TRUE(ReadFileText(destination + "\\mine.txt", &mine));
    EXPECT_EQ("was here", mine);
    EXPECT_EQ(freeWithMine, FreeBytes()) << "the space the unpacking took is free again";

    Answer(box, IDOK);
    DWORD code = 0;
    ASSERT_TRUE(WaitExit(&run, 30000, &code)) << "the installer did not end after the message";
    EXPECT_EQ(1u, code);
    EXPECT_EQ(std::vector<std::string>{"mine.txt"}, ListFolder(destination));
    DeleteFileA((destination + "\\mine.txt").c_str());
    RemoveDirectoryA(destination.c_str());
}

// Version 1 installed on the small drive; version 2 fills it while
// replacing version 1's files: every one comes back as it was.
TEST_F(DiskFull, FullDiskDuringAnUpgradeGivesVersion1Back) {
    ASSERT_GT(FreeBytes(), 0) << "drive Q: is missing (see above)";
    std::string destination = std::string(kDrive) + "Upgrade";
    ProductFiles v1 = BasicProduct("Disk Full Upgrade", {"English"});
    v1["program\\a-first.txt"] = "version 1";
    v1["program\\bin\\tool.dat"] = std::string(100000, 'v');
    HWND options = ToOptions("diskfull-upgrade-1", v1, destination);
    ASSERT_NE(nullptr, options);
    Click(options, IDC_OPTIONS_FINISH);
    DWORD code = 0;
    ASSERT_TRUE(WaitExit(&run, 60000, &code));
    ASSERT_TRUE(SetFileAttributesA((destination + "\\a-first.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    std::map<std::string, Seen> before = Snapshot(destination);
    ASSERT_TRUE(before.count("UnInstall\\Files.lst"));

    ProductFiles v2 = v1;
    v2["program\\a-first.txt"] = "version 2";
    v2["program\\bin\\tool.dat"] = std::string(100000, '2');
    v2["program\\big\\zeros.bin"] = std::string(16u << 20, '\0');
    ASSERT_NE(nullptr, ToProgress("diskfull-upgrade-2", v2, destination));
    HWND box = WaitForMessageBox(run, 60000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("The files cannot be written. The disk may be full or the folder read-only.", ReadBox(box).text);
    Answer(box, IDOK);
    ASSERT_TRUE(WaitExit(&run, 30000, &code));
    std::map<std::string, Seen> after = Snapshot(destination);
    EXPECT_TRUE(before == after) << "version 1's files, with attributes and times, and nothing else";
    SetFileAttributesA((destination + "\\a-first.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    for (const auto& f : after)
        if (f.first.back() != '\\')
            DeleteFileA((destination + "\\" + f.first).c_str());
    for (const char* sub : {"\\bin", "\\UnInstall", ""})
        RemoveDirectoryA((destination + sub).c_str());
}

TEST_F(DiskFull, SilentRunTakesBackAndExitsWithTheWriteFailureCode) {
    long long freeBefore = FreeBytes();
    ASSERT_GT(freeBefore, 0) << "drive Q: is missing";
    ProductFiles files = BasicProduct("Disk Full Silent", {"English"});
    files["program\\big\\zeros.bin"] = std::string(16u << 20, '\0');
    folder = CaseFolder("diskfull-silent");
    std::string exe = BuildInstaller(folder, "e2e-diskfull-silent", files);
    std::string destination = std::string(kDrive) + "Silent\\Deeper";
    std::string log = folder + "\\install.log";
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run, {}, "/S /LOG=" + log + " /D=" + destination));
    DWORD code = 99;
    std::vector<std::string> windows;
    ASSERT_TRUE(WaitExitWatching(&run, 60000, &code, &windows));
    EXPECT_EQ(5u, code);
    EXPECT_EQ(std::vector<std::string>{}, windows);
    EXPECT_FALSE(PathExists(std::string(kDrive) + "Silent")) << "the folders made for the destination are gone";
    EXPECT_EQ(freeBefore, FreeBytes());
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(folder + "\\temp"));
    std::string text;
    ASSERT_TRUE(ReadFileText(log, &text));
    EXPECT_NE(std::string::npos, text.find("not written, taken back")) << text;
    EXPECT_NE(std::string::npos, text.find("exit code: 5\r\n")) << text;
}
