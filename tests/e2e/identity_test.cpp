// A product known by name: the installer file's version resource and icon as
// Windows reads them, the Uninstall key's values with their types and their
// removal, and a new product's English texts at the messages it may show
// (texts 20, 21 and 37 on screen; 19, memory running out, cannot be brought
// about from outside, so its English text is read from the language record).
#include <algorithm>
#include <cmath>

#include "wizard.h"

#include <shlobj.h>

#include "lang/english.h"

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

int RunPackTool(const std::string& args, std::string* output) {
    return RunTool("\"" + BuildFolder() + "\\brondale-pack.exe\" " + args, output);
}

std::string Built(const char* name) {
    std::string bytes;
    EXPECT_TRUE(ReadFileText(BuildFolder() + "\\" + name, &bytes)) << name;
    return bytes;
}

// A bitmap icon image of size x size 32-bit pixels: header, colours, mask.
std::string IconImage(int size, char colour) {
    std::string header(40, '\0');
    header[0] = 40;
    header[4] = static_cast<char>(size);
    header[8] = static_cast<char>(2 * size);
    header[12] = 1;
    header[14] = 32;
    return header + std::string(static_cast<size_t>(size * size * 4), colour) +
           std::string(static_cast<size_t>(4 * size), '\0');
}

// An .ico file of the images, in order.
std::string IconFile(const std::vector<std::string>& images, const std::vector<int>& sizes) {
    std::string ico("\0\0\1\0", 4);
    ico += static_cast<char>(images.size());
    ico += '\0';
    size_t offset = 6 + 16 * images.size();
    for (size_t i = 0; i < images.size(); ++i) {
        ico += std::string{static_cast<char>(sizes[i]), static_cast<char>(sizes[i]), 0, 0, 1, 0, 32, 0};
        for (size_t v : {images[i].size(), offset})
            for (int b = 0; b < 4; ++b)
                ico += static_cast<char>((v >> (8 * b)) & 0xFF);
        offset += images[i].size();
    }
    for (const std::string& image : images)
        ico += image;
    return ico;
}

// A product with an identity and the real uninstaller.
ProductFiles KnownProduct(const std::string& name) {
    ProductFiles files = BasicProduct(name, {"English"});
    files["install\\init.cfg"] = "[cfg]\r\n1=" + name + "\r\n[product]\r\nVersion=2.1.0\r\nPublisher=Example Ltd\r\n"
                                 "URL=https://example.com\r\nCopyright=(c) 2024 Example Ltd\r\n"
                                 "Program=bin\\Known.exe\r\n";
    files["program\\bin\\Known.exe"] = Built("brondale-launched.exe");
    files["install\\UnInst.dat"] = Built("UnInst.exe");
    files["program\\data\\big.bin"] = std::string(300000, 'b');
    files["program\\small.txt"] = "small";
    return files;
}

// A string of the installer's version resource, "" when it has none.
std::string VersionString(const std::vector<char>& info, const char* name) {
    char* text = nullptr;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\041504E2\\") + name;
    if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) || !text)
        return "";
    return std::string(text);
}

using Identity = Wizard;

} // namespace

TEST_F(Identity, WindowsReadsTheInstallersVersionAndIcon) {
    folder = CaseFolder("identity");
    ProductFiles files = KnownProduct("Known Product");
    std::vector<std::string> images = {IconImage(16, '\x11'), IconImage(32, '\x22')};
    files["install\\setup.ico"] = IconFile(images, {16, 32});
    std::string exe = BuildInstaller(folder, "KnownSetup", files);
    std::string out;
    EXPECT_EQ(0, RunPackTool("verify \"" + exe + "\"", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("sound")) << out;

    DWORD handle = 0, size = GetFileVersionInfoSizeA(exe.c_str(), &handle);
    ASSERT_NE(0u, size) << "no version resource";
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, info.data()));
    struct Row {
        const char* name;
        const char* value;
    } rows[] = {
        {"ProductName", "Known Product"},     {"FileDescription", "Known Product Setup"},
        {"CompanyName", "Example Ltd"},       {"ProductVersion", "2.1.0"},
        {"FileVersion", "2.1.0"},             {"OriginalFilename", "KnownSetup.exe"},
        {"LegalCopyright", "(c) 2024 Example Ltd"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.value, VersionString(info, r.name)) << r.name;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(0x00020001u, fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00020001u, fixed->dwProductVersionMS);

    // The program's icon group holds setup.ico's images; the pages' groups are still there.
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(IDI_PROGRAM), MAKEINTRESOURCEA(14));
    ASSERT_NE(nullptr, group);
    const unsigned char* g = static_cast<const unsigned char*>(LockResource(LoadResource(module, group)));
    ASSERT_EQ(6u + 14 * images.size(), SizeofResource(module, group));
    ASSERT_EQ(images.size(), static_cast<size_t>(g[4] | g[5] << 8));
    for (size_t i = 0; i < images.size(); ++i) {
        const unsigned char* e = g + 6 + 14 * i;
        WORD id = static_cast<WORD>(e[12] | e[13] << 8);
        HRSRC icon = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3));
        ASSERT_NE(nullptr, icon) << i;
        std::string bytes(static_cast<const char*>(LockResource(LoadResource(module, icon))), SizeofResource(module, icon));
        EXPECT_TRUE(bytes == images[i]) << "image " << i;
        EXPECT_EQ(i == 0 ? 16 : 32, e[0]) << i;
    }
    EXPECT_NE(nullptr, FindResourceA(module, MAKEINTRESOURCEA(IDI_LANGUAGE), MAKEINTRESOURCEA(14)))
        << "the pages keep theirs";
    EXPECT_NE(nullptr, FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) << "the manifest";
    FreeLibrary(module);
}

TEST_F(Identity, TheUninstallKeyHoldsTheProductsIdentityAndGoesWithIt) {
    const std::string product = "Known Product Key";
    const std::string key = kUninstallKey + product;
    DeleteKey(HKEY_LOCAL_MACHINE, key);
    folder = CaseFolder("identity-key");
    std::string exe = BuildInstaller(folder, "e2e-identity-key", KnownProduct(product));
    std::string destination = CaseFolder("identity-key-dest") + "\\App";
    std::string log = folder + "\\install.log";
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run, {}, "/S /LOG=" + log + " /D=" + destination));
    DWORD code = 99;
    ASSERT_TRUE(WaitExit(&run, 60000, &code));
    ASSERT_EQ(0u, code);

    SYSTEMTIME today;
    GetLocalTime(&today);
    char date[16];
    snprintf(date, sizeof date, "%04u%02u%02u", today.wYear, today.wMonth, today.wDay);
    std::string z(1, '\0'), command = "\"" + destination + "\\Uninstall\\UnInst.exe\"";
    struct Row {
        const char* name;
        DWORD type;
        std::string data;
    } rows[] = {
        {"DisplayName", REG_SZ, product + z},          {"DisplayVersion", REG_SZ, "2.1.0" + z},
        {"Publisher", REG_SZ, "Example Ltd" + z},       {"URLInfoAbout", REG_SZ, "https://example.com" + z},
        {"InstallLocation", REG_SZ, destination + z},   {"InstallDate", REG_SZ, date + z},
        {"DisplayIcon", REG_SZ, "\"" + destination + "\\bin\\Known.exe\"" + z},
        {"UninstallString", REG_SZ, command + z},
        {"QuietUninstallString", REG_SZ, command + " /S" + z},
        {"NoModify", REG_DWORD, std::string("\1\0\0\0", 4)},
        {"NoRepair", REG_DWORD, std::string("\1\0\0\0", 4)},
    };
    std::string text;
    ASSERT_TRUE(ReadFileText(log, &text));
    for (const Row& r : rows) {
        DWORD type = 0;
        std::string data;
        ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, key, r.name, &type, &data)) << r.name;
        EXPECT_EQ(r.type, type) << r.name;
        EXPECT_EQ(r.data, data) << r.name;
        EXPECT_NE(std::string::npos, text.find(std::string("Uninstall key ") + r.name + " = ")) << r.name << text;
    }
    // The size in KiB of everything installed, the record folder included.
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, key, "EstimatedSize", &type, &data));
    ASSERT_EQ(static_cast<DWORD>(REG_DWORD), type);
    ASSERT_EQ(4u, data.size());
    uint64_t bytes = 0;
    for (const auto& f : Snapshot(destination))
        bytes += f.second.bytes.size();
    uint32_t kib = *reinterpret_cast<const uint32_t*>(data.data());
    EXPECT_GT(bytes, 300000u);
    EXPECT_LE(std::abs(static_cast<double>(kib) - bytes / 1024.0), 1.0) << kib << " KiB for " << bytes << " bytes";

    // The quiet removal takes the key with every value.
    Installer remover;
    ASSERT_TRUE(Start(destination + "\\UnInstall\\UnInst.exe", CaseFolder("identity-key-untemp"), &remover, {}, "/S"));
    ASSERT_TRUE(WaitExit(&remover, 60000, &code));
    EXPECT_EQ(0u, code);
    HKEY gone = nullptr;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &gone)) << "nothing left";
    if (gone)
        RegCloseKey(gone);
    RemoveDirectoryA((ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + product).c_str());
}

namespace {

std::string English(unsigned id) {
    for (const EnglishText& t : kEnglishTexts)
        if (t.id == id)
            return t.text;
    return "";
}

} // namespace

// A product fresh from `new`, installed in English: the file held open is
// named in English (and a silent run answers it with exit code 8), the
// uninstaller's refusal of a changed record is in English, and the
// language record the uninstaller reads holds the other messages' texts.
TEST_F(Identity, ANewProductSpeaksEnglishAtItsMessages) {
    const std::string name = "English Texts E2E";
    DeleteKey(HKEY_LOCAL_MACHINE, kUninstallKey + name);
    folder = CaseFolder("identity-english");
    std::string product = folder + "\\product", exe = folder + "\\e2e-identity-english.exe", out;
    std::string destination = CaseFolder("identity-english-dest") + "\\App";
    ASSERT_EQ(0, RunPackTool("new \"" + product + "\" --name \"" + name + "\"", &out)) << out;
    ASSERT_EQ(0, RunPackTool("build \"" + product + "\" -o \"" + exe + "\"", &out)) << out;
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run, {}, "/S /LANG=English /NOSTARTMENU /NODESKTOP /D=" + destination));
    DWORD code = 99;
    ASSERT_TRUE(WaitExit(&run, 60000, &code));
    ASSERT_EQ(0u, code);
    // Changed since, so that installing again must replace it: a file that
    // still holds the package's bytes is left in place, held or not.
    std::string held = destination + "\\" + name + ".exe";
    std::string bytes;
    ASSERT_TRUE(ReadFileText(held, &bytes));
    ASSERT_TRUE(WriteFileText(held, bytes + "changed"));
    std::map<std::string, Seen> installed = Snapshot(destination);

    HANDLE h = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    std::string log = folder + "\\held.log";
    ASSERT_TRUE(Start(exe, folder + "\\temp-silent", &run, {}, "/S /LOG=" + log + " /D=" + destination));
    ASSERT_TRUE(WaitExit(&run, 60000, &code));
    EXPECT_EQ(8u, code) << "a file held open has a code of its own";
    std::string text;
    ASSERT_TRUE(ReadFileText(log, &text));
    EXPECT_NE(std::string::npos, text.find("a file is held open by another program")) << text;

    ASSERT_TRUE(Start(exe, folder + "\\temp-walk", &run, {}, "/LANG=English"));
    language = WaitForPage(run, "Choose Setup Language");
    ASSERT_NE(nullptr, language);
    Click(language, IDC_LANGUAGE_OK);
    HWND confirm = WaitForPageWith(IDC_CONFIRM_TEXT);
    ASSERT_NE(nullptr, confirm);
    EXPECT_EQ(English(1) + " " + name + "?", ItemText(confirm, IDC_CONFIRM_TEXT));
    Click(confirm, IDC_CONFIRM_INSTALL);
    HWND licence = WaitForPageWith(IDC_LICENCE_TEXT);
    ASSERT_NE(nullptr, licence);
    Click(licence, IDC_LICENCE_ACCEPT);
    EXPECT_TRUE(WaitUntil([](HWND page) { return Enabled(GetDlgItem(page, IDC_LICENCE_NEXT)); }, licence));
    Click(licence, IDC_LICENCE_NEXT);
    HWND page = WaitForPageWith(IDC_DESTINATION_PATH);
    ASSERT_NE(nullptr, page);
    SetItemText(page, IDC_DESTINATION_PATH, destination);
    Click(page, IDC_DESTINATION_NEXT);
    HWND box = WaitForMessageBox(run, 60000);
    ASSERT_NE(nullptr, box);
    BoxInfo info = ReadBox(box);
    EXPECT_EQ(0u, info.text.find(English(20))) << info.text;
    EXPECT_NE(std::string::npos, info.text.find(held)) << info.text;
    Answer(box, IDCANCEL);
    ASSERT_TRUE(WaitExit(&run, 30000, &code));
    CloseHandle(h);
    EXPECT_TRUE(installed == Snapshot(destination)) << "nothing changed";
    ASSERT_TRUE(WriteFileText(held, bytes)) << "the program as installed, for the removal";

    // The language record: what the installer showed, for the uninstaller.
    std::string languageRecord = destination + "\\UnInstall\\Language.lng";
    for (unsigned id : {19u, 20u, 21u, 37u}) {
        char value[512];
        GetPrivateProfileStringA("lng", std::to_string(id).c_str(), "", value, sizeof value, languageRecord.c_str());
        EXPECT_EQ(English(id), value) << "text " << id;
    }

    std::string list = destination + "\\UnInstall\\Files.lst", listBytes;
    ASSERT_TRUE(ReadFileText(list, &listBytes));
    ASSERT_TRUE(WriteFileText(list, listBytes + "1 00000000 added.txt\r\n"));
    Installer remover;
    ASSERT_TRUE(Start(destination + "\\UnInstall\\UnInst.exe", CaseFolder("identity-english-untemp"), &remover));
    box = WaitForMessageBox(remover);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(English(37) + "\r\n" + destination + "\\UnInstall\\UnInst.cfg", ReadBox(box).text);
    Answer(box, IDOK);
    ASSERT_TRUE(WaitExit(&remover, 30000, &code));
    EXPECT_EQ(6u, code);

    ASSERT_TRUE(WriteFileText(list, listBytes));
    ASSERT_TRUE(Start(destination + "\\UnInstall\\UnInst.exe", CaseFolder("identity-english-untemp2"), &remover, {}, "/S"));
    ASSERT_TRUE(WaitExit(&remover, 60000, &code));
    EXPECT_EQ(0u, code);
}

namespace {

using Links = Wizard;

} // namespace

// The links fixture of CTest plants bin\sub below folder-dest as a link to
// a folder outside; an installer in English names it in English.
TEST_F(Links, AnEnglishInstallerNamesTheLinkInEnglish) {
    std::string root = std::string("Z:") + BRONDALE_LINKS_DIR;
    std::replace(root.begin(), root.end(), '/', '\\');
    ASSERT_TRUE(PathExists(root + "\\outside")) << "the links fixture of CTest plants the layout";
    ProductFiles files = BasicProduct("Links English", {});
    std::string english = "[lng]\r\n";
    for (const EnglishText& t : kEnglishTexts)
        english += std::to_string(t.id) + "=" + t.text + "\r\n";
    files["lang\\English.lng"] = english;
    files["program\\bin\\sub\\app.exe"] = "would land outside";
    folder = CaseFolder("links-english");
    std::string exe = BuildInstaller(folder, "e2e-links-english", files);
    std::string destination = root + "\\folder-dest";
    std::vector<std::string> before = ListFolder(destination);
    ASSERT_TRUE(Start(exe, folder + "\\temp", &run, {}, "/LANG=English"));
    language = WaitForPage(run, "Choose Setup Language");
    ASSERT_NE(nullptr, language);
    Click(language, IDC_LANGUAGE_OK);
    HWND confirm = WaitForPageWith(IDC_CONFIRM_TEXT);
    ASSERT_NE(nullptr, confirm);
    Click(confirm, IDC_CONFIRM_INSTALL);
    HWND page = WaitForPageWith(IDC_DESTINATION_PATH);
    ASSERT_NE(nullptr, page);
    SetItemText(page, IDC_DESTINATION_PATH, destination);
    Click(page, IDC_DESTINATION_NEXT);
    HWND box = WaitForMessageBox(run, 60000);
    ASSERT_NE(nullptr, box);
    BoxInfo info = ReadBox(box);
    EXPECT_EQ(0u, info.text.find(English(21))) << info.text;
    EXPECT_NE(std::string::npos, info.text.find(destination + "\\bin\\sub")) << info.text;
    Answer(box, IDOK);
    DWORD code = 0;
    ASSERT_TRUE(WaitExit(&run, 30000, &code));
    EXPECT_EQ(std::vector<std::string>{}, ListFolder(root + "\\outside")) << "nothing written through the link";
    EXPECT_EQ(before, ListFolder(destination)) << "taken back";
}
