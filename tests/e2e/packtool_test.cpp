// The Windows packing tool under Wine: verify, list, plan and extract of the
// installers it builds, an installer with bytes appended after its package
// (as a signature would be) that still installs, and a new product taken
// from `new` through lint and build to a finished installation.
#include <gtest/gtest.h>

#include "wizard.h"

#include <shlobj.h>
#include <zlib.h>

#include <algorithm>

#include "base/format.h"

namespace {

// Runs brondale-pack.exe with args; returns its exit code and output.
int RunPackTool(const std::string& args, std::string* output) {
    return RunTool("\"" + BuildFolder() + "\\brondale-pack.exe\" " + args, output);
}

using PackTool = Wizard;

std::string Gzip(const std::string& text) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(text.size())) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string Le32(uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
}

// An installer file written by hand: a program padded to the package start,
// the signature and a Lang section naming files (each holding "x"), or only
// a section header with member count count when count is given.
std::string HandInstaller(const std::vector<std::string>& names, uint32_t count = 0) {
    std::string data("MZ");
    data.resize(kPackageStart, '\0');
    for (size_t j = 0; j < kSignatureSize; ++j)
        data += static_cast<char>(SignatureByte(j));
    if (count != 0)
        return data + "GZC" + Le32(0) + Le32(0) + Le32(count) + std::string(64, '\0');
    std::string list;
    for (const std::string& n : names)
        list += n + "\r\n";
    std::vector<std::string> members = {Gzip(list)};
    uint64_t sum = ChecksumAdd(0, reinterpret_cast<const unsigned char*>(list.data()), list.size());
    for (size_t i = 0; i < names.size(); ++i) {
        members.push_back(Gzip("x"));
        sum = ChecksumAdd(sum, reinterpret_cast<const unsigned char*>("x"), 1);
    }
    uint32_t offset = static_cast<uint32_t>(kSectionFixedSize + 4 * members.size());
    std::string table;
    for (const std::string& m : members) {
        table += Le32(offset);
        offset += static_cast<uint32_t>(m.size());
    }
    data += "GZC" + Le32(static_cast<uint32_t>(sum)) + Le32(0) + Le32(static_cast<uint32_t>(members.size())) + table +
            Le32(offset);
    for (const std::string& m : members)
        data += m;
    return data;
}

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

    ASSERT_NE(nullptr, StartAndPressNext(exe, destination));
    ASSERT_NE(nullptr, WaitForPageWith(IDC_OPTION_RUN, 60000));
    std::string installed;
    ASSERT_TRUE(ReadFileText(destination + "\\Signed Product.txt", &installed));
    EXPECT_EQ("Signed Product", installed);
}

TEST_F(PackTool, ANewProductLintsBuildsWithoutStubAndInstalls) {
    // A Polish name: the tool takes its command line as Unicode, so the
    // name reaches the configuration in code page 1250.
    const std::string name = "Nowy \xBF\xF3\xB3w E2E";
    const std::string key = "Software\\" + name;
    // The new product always starts its program: the stand-in desktop shell
    // gives it a route (Wine runs none).
    ASSERT_TRUE(StartDesktopShell());
    DeleteKey(HKEY_CURRENT_USER, key);
    folder = CaseFolder("packtool-new");
    std::string product = folder + "\\product", exe = folder + "\\e2e-packtool-new.exe";
    std::string destination = CaseFolder("packtool-new-dest") + "\\App";
    std::string out;
    ASSERT_EQ(0, RunPackTool("new \"" + product + "\" --name \"" + name + "\"", &out)) << out;
    ASSERT_EQ(0, RunPackTool("lint \"" + product + "\"", &out)) << out;
    EXPECT_EQ("0 findings, 0 errors\r\n", out) << "the uninstaller beside the tool fills in install\\UnInst.dat";
    ASSERT_EQ(0, RunPackTool("build \"" + product + "\" -o \"" + exe + "\"", &out)) << out;
    EXPECT_EQ(2, RunPackTool("lint \"" + product + "\" --frob", &out));
    EXPECT_NE(std::string::npos, out.find("unknown option --frob")) << out;
    EXPECT_NE(std::string::npos, out.find("--help")) << out;

    ASSERT_TRUE(Start(exe, folder + "\\temp", &run));
    language = WaitForPage(run, "Choose Setup Language");
    ASSERT_NE(nullptr, language);
    Click(language, IDC_LANGUAGE_OK);
    HWND confirm = WaitForPageWith(IDC_CONFIRM_TEXT);
    ASSERT_NE(nullptr, confirm);
    Click(confirm, IDC_CONFIRM_INSTALL);
    HWND licence = WaitForPageWith(IDC_LICENCE_TEXT);
    ASSERT_NE(nullptr, licence) << "the new product has a licence";
    EXPECT_NE(std::string::npos, ItemText(licence, IDC_LICENCE_TEXT).find("The licence of " + name))
        << ItemText(licence, IDC_LICENCE_TEXT);
    Click(licence, IDC_LICENCE_ACCEPT);
    EXPECT_TRUE(WaitUntil([](HWND page) { return Enabled(GetDlgItem(page, IDC_LICENCE_NEXT)); }, licence));
    Click(licence, IDC_LICENCE_NEXT);
    HWND page = WaitForPageWith(IDC_DESTINATION_PATH);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(ProgramFilesFolder() + "\\" + name, ItemText(page, IDC_DESTINATION_PATH));
    SetItemText(page, IDC_DESTINATION_PATH, destination);
    Click(page, IDC_DESTINATION_NEXT);
    HWND options = WaitForPageWith(IDC_OPTION_RUN, 60000);
    ASSERT_NE(nullptr, options);
    for (int id : {IDC_OPTION_DESKTOP, IDC_OPTION_MENU}) {  // no shortcuts left behind in the shared prefix
        Click(options, id);
        for (int i = 0; i < 100 && Checked(options, id); ++i)
            Sleep(20);
    }
    Click(options, IDC_OPTIONS_FINISH);
    DWORD code = 0;
    ASSERT_TRUE(WaitExit(&run, 60000, &code));
    EXPECT_EQ(1u, code);

    // The placeholder program is installed and started: its message box
    // carries the product's name.
    std::string installed, placeholder;
    ASSERT_TRUE(ReadFileText(destination + "\\" + name + ".exe", &installed));
    ASSERT_TRUE(ReadFileText(BuildFolder() + "\\placeholder.exe", &placeholder));
    EXPECT_TRUE(installed == placeholder);
    EXPECT_TRUE(PathExists(destination + "\\UnInstall\\UnInst.exe"));
    HWND box = nullptr;
    for (int i = 0; i < 500 && !box; ++i) {
        box = FindWindowA("#32770", name.c_str());
        Sleep(box ? 0 : 20);
    }
    ASSERT_NE(nullptr, box) << "the placeholder did not start";
    PostMessageA(box, WM_CLOSE, 0, 0);
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, key, "InstallFolder", &type, &data));
    EXPECT_EQ(destination, data.c_str()) << "the chosen folder";
    DeleteKey(HKEY_CURRENT_USER, key);
    DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name);
    RemoveDirectoryA((ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + name).c_str());
}

TEST_F(PackTool, HelpVersionAndUnknownOptionsUnderWindows) {
    std::string out;
    EXPECT_EQ(0, RunPackTool("--help", &out));
    EXPECT_NE(std::string::npos, out.find("brondale-pack new PRODUCT_DIR")) << out;
    EXPECT_EQ(0, RunPackTool("build -h", &out));
    EXPECT_NE(std::string::npos, out.find("Usage:")) << out;
    EXPECT_EQ(0, RunPackTool("--version", &out));
    EXPECT_EQ(0u, out.find("brondale-pack ")) << out;
    EXPECT_EQ(2, RunPackTool("verify --frob x.exe", &out));
    EXPECT_NE(std::string::npos, out.find("unknown option --frob")) << out;
    EXPECT_NE(std::string::npos, out.find("brondale-pack --help")) << out;
}

TEST_F(PackTool, TheWindowsToolFindsItsProgramsInShareBrondale) {
    // The layout cmake --install makes: bin\brondale-pack.exe and the
    // programs it packs in share\brondale.
    folder = CaseFolder("packtool-installed");
    std::string bin = folder + "\\bin", share = folder + "\\share\\brondale";
    ASSERT_TRUE(CreateDirectoryA(bin.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((folder + "\\share").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(share.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA((BuildFolder() + "\\brondale-pack.exe").c_str(), (bin + "\\brondale-pack.exe").c_str(), TRUE));
    for (const char* program : {"brondale.exe", "UnInst.exe", "placeholder.exe"})
        ASSERT_TRUE(CopyFileA((BuildFolder() + "\\" + program).c_str(), (share + "\\" + program).c_str(), TRUE));
    std::string tool = "\"" + bin + "\\brondale-pack.exe\" ", product = folder + "\\product";
    std::string exe = folder + "\\e2e-packtool-installed.exe", out;
    ASSERT_EQ(0, RunTool(tool + "new \"" + product + "\" --name \"Installed Tool\"", &out)) << out;
    ASSERT_EQ(0, RunTool(tool + "build \"" + product + "\" -o \"" + exe + "\"", &out)) << out;
    EXPECT_EQ(0, RunTool(tool + "list \"" + exe + "\"", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("UnInst.dat")) << out;
    std::string setup, stub;
    ASSERT_TRUE(ReadFileText(exe, &setup));
    ASSERT_TRUE(ReadFileText(share + "\\brondale.exe", &stub));
    // Past its headers (the first 4 KiB), the installer holds the installer
    // program as it was; the identity goes into a section after it.
    EXPECT_EQ(0, setup.compare(4096, stub.size() - 4096, stub, 4096))
        << "the installer starts with share\\brondale\\brondale.exe";
    DeleteFileA((share + "\\UnInst.exe").c_str());
    EXPECT_EQ(1, RunTool(tool + "build \"" + product + "\" -o \"" + exe + "\"", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("no UnInst.exe in")) << out;
    EXPECT_NE(std::string::npos, out.find("--uninstaller")) << out;
}

// The 32-bit tool reads a member count of 0xFFFFFFFF without wrapping the
// table's size, and prints the names of a package with their control
// characters escaped.
TEST_F(PackTool, TheWindowsToolRefusesCraftedCountsAndEscapesNames) {
    folder = CaseFolder("packtool-crafted");
    std::string count = folder + "\\count.exe", escape = folder + "\\escape.exe", out;
    ASSERT_TRUE(WriteFileText(count, HandInstaller({}, 0xFFFFFFFFu)));
    ASSERT_TRUE(WriteFileText(escape, HandInstaller({"\x1b[31mred.lng", "\x1b]0;title\x07.lng"})));
    for (const char* command : {"verify", "list"}) {
        EXPECT_EQ(1, RunPackTool(std::string(command) + " \"" + count + "\"", &out)) << command;
        EXPECT_NE(std::string::npos, out.find("member count 4294967295 does not fit the file")) << command << out;
        EXPECT_EQ(1, RunPackTool(std::string(command) + " \"" + escape + "\"", &out)) << command;
        EXPECT_NE(std::string::npos, out.find("\\x1b[31mred.lng")) << command << out;
        EXPECT_EQ(std::string::npos, out.find_first_of("\x1b\x07")) << command << ": a control character printed";
    }
}

// Names that differ only in case, planted from the Linux side by the case
// fixture of CTest (Wine itself would open one for the other): the Windows
// tool names both and builds nothing.
TEST_F(PackTool, CaseTheWindowsToolRefusesNamesWindowsWouldMerge) {
    std::string product = std::string("Z:") + BRONDALE_CASE_DIR;
    std::replace(product.begin(), product.end(), '/', '\\');
    ASSERT_TRUE(PathExists(product + "\\program")) << "the case fixture of CTest plants the product";
    folder = CaseFolder("packtool-case");
    std::string exe = folder + "\\case.exe", out;
    EXPECT_EQ(1, RunPackTool("lint \"" + product + "\"", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("program/xt_connmark.h: one file on Windows with program/xt_CONNMARK.h"))
        << out;
    // Names from the product folder are printed as the folder holds them, in UTF-8.
    EXPECT_NE(std::string::npos, out.find("program/\xC5\xBC\xC3\xB3\xC5\x82w.txt: one file on Windows with "
                                          "program/\xC5\xBB\xC3\xB3\xC5\x82w.txt"))
        << out;
    EXPECT_EQ(1, RunPackTool("build \"" + product + "\" -o \"" + exe + "\" --force", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("nothing written")) << out;
    EXPECT_FALSE(PathExists(exe));
    EXPECT_FALSE(PathExists(exe + ".partial"));
}

// The case fixture's products with links: the Windows tool packs a link
// inside the product as what it points to, under the link's name, and
// refuses a product with a link leading out of it, writing nothing.
TEST_F(PackTool, CaseTheWindowsToolFollowsOnlyLinksInsideTheProduct) {
    std::string links = std::string("Z:") + BRONDALE_CASE_DIR + "-links";
    std::replace(links.begin(), links.end(), '/', '\\');
    ASSERT_TRUE(PathExists(links + "\\good\\program")) << "the case fixture of CTest plants the products";
    folder = CaseFolder("packtool-links");
    std::string exe = folder + "\\links.exe", out;
    EXPECT_EQ(1, RunPackTool("build \"" + links + "\\bad\" -o \"" + exe + "\"", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("error: program/secret.txt: a link to")) << out;
    EXPECT_NE(std::string::npos, out.find("outside the product folder")) << out;
    EXPECT_NE(std::string::npos, out.find("nothing written")) << out;
    EXPECT_FALSE(PathExists(exe));

    ASSERT_EQ(0, RunPackTool("build \"" + links + "\\good\" -o \"" + exe + "\"", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("warning: program/b.txt: a link to")) << out;
    EXPECT_NE(std::string::npos, out.find("warning: program/docs: a link to")) << out;
    std::string target = folder + "\\extracted", text;
    ASSERT_EQ(0, RunPackTool("extract \"" + exe + "\" \"" + target + "\"", &out)) << out;
    ASSERT_TRUE(ReadFileText(target + "\\program\\b.txt", &text));
    EXPECT_EQ("inside", text);
    ASSERT_TRUE(ReadFileText(target + "\\program\\docs\\init.cfg", &text));
    EXPECT_EQ("[cfg]\r\n1=Links\r\n", text);
}

// An installer signed by build --sign (the signed fixture of CTest builds it
// on the Linux side, where osslsigncode checks it and the uninstaller in its
// package) installs silently; the uninstaller it installs is that signed
// one, byte for byte (a copy of the installed file is kept beside for
// osslsigncode to check afterwards, in the fixture's cleanup), and it
// removes the product.
TEST_F(PackTool, SignedInstallerInstallsSilentlyWithItsSignedUninstaller) {
    std::string dir = std::string("Z:") + BRONDALE_SIGNED_DIR;
    std::replace(dir.begin(), dir.end(), '/', '\\');
    std::string exe = dir + "\\Signed.exe", destination = dir + "\\dest\\App";
    ASSERT_TRUE(PathExists(exe)) << "the signed fixture of CTest builds it";
    const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Signed E2E";
    DeleteKey(HKEY_LOCAL_MACHINE, key);
    folder = CaseFolder("packtool-signed-run");
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run, {}, "/S /NOSTARTMENU /NODESKTOP /D=" + destination));
    DWORD code = 99;
    ASSERT_TRUE(WaitExit(&run, 60000, &code));
    EXPECT_EQ(0u, code);
    std::string installed, packed;
    ASSERT_TRUE(ReadFileText(destination + "\\UnInstall\\UnInst.exe", &installed));
    ASSERT_TRUE(ReadFileText(dir + "\\extracted\\install\\UnInst.dat", &packed));
    EXPECT_TRUE(installed == packed) << "the signed uninstaller, as packed";
    // Its certificate table: the security directory of its headers.
    ASSERT_GT(installed.size(), 0x200u);
    uint32_t pe = *reinterpret_cast<const uint32_t*>(&installed[0x3C]);
    ASSERT_LT(pe + 24 + 96 + 40, installed.size());
    EXPECT_NE(0u, *reinterpret_cast<const uint32_t*>(&installed[pe + 24 + 96 + 32 + 4])) << "signed";
    ASSERT_TRUE(WriteFileText(dir + "\\installed-UnInst.exe", installed));

    Installer remover;
    ASSERT_TRUE(Start(destination + "\\UnInstall\\UnInst.exe", CaseFolder("packtool-signed-untemp"), &remover, {},
                      "/S"));
    ASSERT_TRUE(WaitExit(&remover, 60000, &code));
    EXPECT_EQ(0u, code) << "the signed uninstaller removes the product";
    DeleteKey(HKEY_LOCAL_MACHINE, key);
}
