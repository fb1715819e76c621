// The Windows packing tool under Wine: verify, list, plan and extract of the
// installers it builds, and an installer with bytes appended after its
// package (as a signature would be) that still installs.
#include <gtest/gtest.h>

#include "wizard.h"

namespace {

// Runs brondale-pack.exe with args; returns its exit code and output.
int RunPackTool(const std::string& args, std::string* output) {
    return RunTool("\"" + BuildFolder() + "\\brondale-pack.exe\" " + args, output);
}

using PackTool = Wizard;

} // namespace

TEST_F(PackTool, VerifyListPlanAndExtractUnderWindows) {
    std::string folder = CaseFolder("packtool");
    ProductFiles files = BasicProduct("Pack Tool", {"English"});
    files["install\\init.cfg"] = "[cfg]\r\n1=Pack Tool\r\n[index]\r\nmax=2\r\n[Run]\r\n1=Pack Tool.txt\r\n[silent]\r\n1=1\r\n";
    files["program\\sub\\data.bin"] = std::string(100000, 'd');
    std::string exe = BuildInstaller(folder, "e2e-packtool", files);
    std::string out;

    EXPECT_EQ(0, RunPackTool("verify \"" + exe + "\"", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("sound")) << out;
    EXPECT_EQ(0, RunPackTool("list \"" + exe + "\"", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("sub\\data.bin")) << out;
    EXPECT_EQ(0, RunPackTool("plan \"" + exe + "\"", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("start DEST\\Pack Tool.txt (always)")) << out;

    std::string target = folder + "\\extracted";
    EXPECT_EQ(0, RunPackTool("extract \"" + exe + "\" \"" + target + "\"", &out)) << out;
    std::string text;
    ASSERT_TRUE(ReadFileText(target + "\\install\\init.cfg", &text));
    EXPECT_EQ(files["install\\init.cfg"], text) << "descrambled";
    ASSERT_TRUE(ReadFileText(target + "\\program\\sub\\data.bin", &text));
    EXPECT_EQ(100000u, text.size());

    // A damaged copy: verify names the section and fails; extract writes
    // nothing.
    std::string data;
    ASSERT_TRUE(ReadFileText(exe, &data));
    data[data.size() - 30] ^= 0x11;
    std::string damaged = folder + "\\e2e-packtool-damaged.exe";
    ASSERT_TRUE(WriteFileText(damaged, data));
    EXPECT_EQ(1, RunPackTool("verify \"" + damaged + "\"", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("program section: member")) << out;
    std::string refused = folder + "\\refused";
    EXPECT_EQ(1, RunPackTool("extract \"" + damaged + "\" \"" + refused + "\"", &out)) << out;
    EXPECT_TRUE(ListFolder(refused).empty());
}

TEST_F(PackTool, BytesAppendedAfterThePackageStillInstall) {
    ProductFiles files = BasicProduct("Signed Product", {"English"});
    std::string destination = CaseFolder("packtool-signed-dest") + "\\App";
    folder = CaseFolder("packtool-signed");
    std::string exe = BuildInstaller(folder, "e2e-packtool-signed", files);
    std::string data;
    ASSERT_TRUE(ReadFileText(exe, &data));
    ASSERT_TRUE(WriteFileText(exe, data + std::string(8192, '\x30')));  // where a signature goes
    std::string out;
    EXPECT_EQ(0, RunPackTool("verify \"" + exe + "\"", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("8192 bytes after the package")) << out;

    ASSERT_NE(nullptr, StartAndPress109(exe, destination));
    ASSERT_NE(nullptr, WaitForPageWith(303, 60000));
    std::string installed;
    ASSERT_TRUE(ReadFileText(destination + "\\Signed Product.txt", &installed));
    EXPECT_EQ("Signed Product", installed);
}
