// The installer program's resources, read back from the built file: the page
// templates exactly as the pages and the text set-up expect them, the icon
// groups and the manifest.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/resource.h"
#include "trust/dllsearch.h"

namespace {

struct Control {
    int id;
    std::string cls;
    DWORD style;
    short x, y, cx, cy;
    std::string text;  // "#N" for an ordinal (the icon group of an icon)
};

struct Template {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string menu, cls, title, font;
    WORD points = 0;
    BYTE charset = 0;
    std::vector<Control> controls;
};

// A cursor over the template bytes that never reads past their end.
struct Cursor {
    const BYTE* p;
    const BYTE* end;
    bool ok = true;
    template <typename T> T Take() {
        T v{};
        if (end - p < static_cast<long>(sizeof v)) {
            ok = false;
            return v;
        }
        memcpy(&v, p, sizeof v);
        p += sizeof v;
        return v;
    }
    std::string Text() {
        std::string s;
        for (WORD c; (c = Take<WORD>()) != 0 && ok;)
            s.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        return s;
    }
    std::string TextOrOrdinal() {
        WORD first = Take<WORD>();
        if (first == 0)
            return "";
        if (first == 0xFFFF)
            return "#" + std::to_string(Take<WORD>());
        p -= 2;
        return Text();
    }
    void Align() {
        while ((reinterpret_cast<uintptr_t>(p) & 3) != 0)
            ++p;
    }
};

std::string ClassName(const std::string& cls) {
    static const char* const kNames[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
    if (cls.size() > 1 && cls[0] == '#') {
        int ordinal = std::stoi(cls.substr(1));
        if (ordinal >= 0x80 && ordinal <= 0x85)
            return kNames[ordinal - 0x80];
    }
    return cls;
}

HMODULE Installer() {
    static HMODULE module = LoadLibraryExA(BRONDALE_INSTALLER_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

bool LoadTemplate(int id, Template* t) {
    HRSRC found = FindResourceExA(Installer(), reinterpret_cast<LPCSTR>(RT_DIALOG), MAKEINTRESOURCEA(id),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!found)
        return false;
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(Installer(), found)));
    Cursor c{data, data + SizeofResource(Installer(), found)};
    if (c.Take<WORD>() != 1 || c.Take<WORD>() != 0xFFFF)
        return false;  // not an extended template
    c.Take<DWORD>();
    t->exStyle = c.Take<DWORD>();
    t->style = c.Take<DWORD>();
    WORD count = c.Take<WORD>();
    t->x = c.Take<short>();
    t->y = c.Take<short>();
    t->cx = c.Take<short>();
    t->cy = c.Take<short>();
    t->menu = c.TextOrOrdinal();
    t->cls = c.TextOrOrdinal();
    t->title = c.Text();
    if (t->style & DS_SETFONT) {
        t->points = c.Take<WORD>();
        c.Take<WORD>();
        c.Take<BYTE>();
        t->charset = c.Take<BYTE>();
        t->font = c.Text();
    }
    for (WORD i = 0; i < count && c.ok; ++i) {
        c.Align();
        Control k;
        c.Take<DWORD>();
        c.Take<DWORD>();
        k.style = c.Take<DWORD>();
        k.x = c.Take<short>();
        k.y = c.Take<short>();
        k.cx = c.Take<short>();
        k.cy = c.Take<short>();
        k.id = static_cast<int>(c.Take<DWORD>());
        k.cls = ClassName(c.TextOrOrdinal());
        k.text = c.TextOrOrdinal();
        WORD extra = c.Take<WORD>();
        c.p += extra;
        t->controls.push_back(k);
    }
    return c.ok;
}

const DWORD kPage = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_3DLOOK |
                    DS_CENTER | DS_SETFONT;
const DWORD kChild = WS_CHILD | WS_VISIBLE;
const DWORD kButton = kChild | BS_PUSHBUTTON | BS_CENTER | WS_TABSTOP;
const DWORD kLabel = kChild | SS_LEFT;
const DWORD kIcon = kChild | SS_ICON | SS_REALSIZEIMAGE;

void ExpectPage(int id, short cx, short cy, const std::string& title, const std::vector<Control>& expected) {
    Template t;
    ASSERT_TRUE(LoadTemplate(id, &t)) << "template " << id;
    EXPECT_EQ(0x90CA08C4u, kPage);
    EXPECT_EQ(kPage, t.style) << "template " << id;
    EXPECT_EQ(0x00040001u, t.exStyle) << "template " << id;
    EXPECT_EQ(cx, t.cx);
    EXPECT_EQ(cy, t.cy);
    EXPECT_EQ("", t.menu);
    EXPECT_EQ("", t.cls) << "the system's dialog class";
    EXPECT_EQ(title, t.title);
    EXPECT_EQ("MS Sans Serif", t.font);
    EXPECT_EQ(8, t.points);
    EXPECT_EQ(DEFAULT_CHARSET, t.charset);
    ASSERT_EQ(expected.size(), t.controls.size()) << "template " << id;
    for (size_t i = 0; i < expected.size(); ++i) {
        const Control& e = expected[i];
        const Control& a = t.controls[i];
        std::string where = "template " + std::to_string(id) + ", control " + std::to_string(i + 1);
        EXPECT_EQ(e.id, a.id) << where;
        // Class names compare without regard to case, as the system does.
        EXPECT_EQ(0, _stricmp(e.cls.c_str(), a.cls.c_str())) << where << ": " << e.cls << " / " << a.cls;
        EXPECT_EQ(e.style, a.style) << where << " style " << std::hex << a.style;
        EXPECT_EQ(e.x, a.x) << where;
        EXPECT_EQ(e.y, a.y) << where;
        EXPECT_EQ(e.cx, a.cx) << where;
        EXPECT_EQ(e.cy, a.cy) << where;
        EXPECT_EQ(e.text, a.text) << where;
    }
}

// The text of an icon control: the ordinal of its icon group.
std::string Ordinal(int group) { return "#" + std::to_string(group); }

// The numbers themselves are the pages' contract with whatever drives them
// from outside (a test harness, an accessibility tool, a scripted install):
// the names may change, the numbers may not. Every other test uses the names.
static_assert(IDD_LANGUAGE == 50 && IDD_CONFIRM == 51 && IDD_LICENCE == 52 && IDD_PROGRESS == 53 &&
                  IDD_DESTINATION == 54 && IDD_OPTIONS == 56,
              "page templates");
static_assert(PAGE_LANGUAGE == 0 && PAGE_CONFIRM == 1 && PAGE_LICENCE == 2 && PAGE_DESTINATION == 4 &&
                  PAGE_PROGRESS == 5 && PAGE_OPTIONS == 6 && PAGE_SLOTS == 7,
              "page-table slots");
static_assert(IDI_PROGRAM == 1 && IDI_LANGUAGE == 2 && IDI_CONFIRM == 2 && IDI_LICENCE == 3 && IDI_DESTINATION == 4 &&
                  IDI_PROGRESS == 5 && IDI_OPTIONS == 6,
              "icon groups");
static_assert(IDC_PAGE_ICON == 10 && IDC_LANGUAGE_OK == 100 && IDC_LANGUAGE_CANCEL == 101 && IDC_LANGUAGE_TEXT == 200 &&
                  IDC_LANGUAGE_LIST == 600,
              "language page");
static_assert(IDC_CONFIRM_INSTALL == 102 && IDC_CONFIRM_CANCEL == 103 && IDC_CONFIRM_TEXT == 201, "confirmation page");
static_assert(IDC_LICENCE_NEXT == 104 && IDC_LICENCE_CANCEL == 105 && IDC_LICENCE_ACCEPT == 300 &&
                  IDC_LICENCE_TEXT == 500,
              "licence page");
static_assert(IDC_DESTINATION_BROWSE == 108 && IDC_DESTINATION_NEXT == 109 && IDC_DESTINATION_CANCEL == 110 &&
                  IDC_DESTINATION_LABEL == 205 && IDC_DESTINATION_PATH == 402,
              "destination page");
static_assert(IDC_PROGRESS_CANCEL == 107 && IDC_PROGRESS_DONE == 112 && IDC_PROGRESS_TEXT == 202 &&
                  IDC_PROGRESS_FILE_TEXT == 204 && IDC_PROGRESS_PERCENT == 208 && IDC_PROGRESS_FILE_PERCENT == 209 &&
                  IDC_PROGRESS_BAR == 700 && IDC_PROGRESS_FILE_BAR == 701,
              "progress page");
static_assert(IDC_OPTIONS_FINISH == 114 && IDC_OPTIONS_TEXT == 203 && IDC_OPTION_DESKTOP == 300 &&
                  IDC_OPTION_MENU == 301 && IDC_OPTION_INFO == 302 && IDC_OPTION_RUN == 303,
              "options page");

BOOL CALLBACK CountName(HMODULE, LPCSTR, LPSTR, LONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

} // namespace

TEST(Resources, LanguagePageTemplate) {
    ExpectPage(IDD_LANGUAGE, 207, 94, "Choose Setup Language",
               {
                   {IDC_LANGUAGE_TEXT, "Static", kLabel, 52, 14, 140, 18,
                    "Select the language for the installation from the choices below."},
                   {IDC_PAGE_ICON, "Static", kIcon, 12, 12, 32, 30, Ordinal(IDI_LANGUAGE)},
                   {IDC_LANGUAGE_LIST, "ComboBox", kChild | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 50,
                    45, 140, 43, ""},
                   {IDC_LANGUAGE_CANCEL, "Button", kButton, 132, 68, 56, 15, "Cancel"},
                   {IDC_LANGUAGE_OK, "Button", kButton, 67, 68, 56, 15, "Ok"},
               });
}

TEST(Resources, WizardPageTemplates) {
    const DWORD kCheck = kChild | BS_AUTOCHECKBOX | WS_TABSTOP;
    const DWORD kProgress = kChild;
    ExpectPage(IDD_CONFIRM, 207, 92, "",
               {
                   {IDC_CONFIRM_TEXT, "Static", kLabel, 52, 20, 140, 31, ""},
                   {IDC_PAGE_ICON, "Static", kIcon, 12, 13, 32, 30, Ordinal(IDI_CONFIRM)},
                   {IDC_CONFIRM_CANCEL, "Button", kButton, 136, 64, 56, 15, ""},
                   {IDC_CONFIRM_INSTALL, "Button", kButton, 68, 64, 56, 15, ""},
               });
    ExpectPage(IDD_LICENCE, 361, 210, "",
               {
                   {IDC_LICENCE_NEXT, "Button", kButton | WS_DISABLED, 127, 186, 50, 14, ""},
                   {IDC_LICENCE_CANCEL, "Button", kButton, 183, 186, 50, 14, ""},
                   {IDC_LICENCE_TEXT, "Edit",
                    kChild | ES_MULTILINE | ES_READONLY | ES_WANTRETURN | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_BORDER |
                        WS_VSCROLL | WS_HSCROLL,
                    12, 8, 336, 152, ""},
                   {IDC_LICENCE_ACCEPT, "Button", kCheck, 16, 171, 260, 9, ""},
                   {IDC_PAGE_ICON, "Static", kIcon, 291, 165, 43, 39, Ordinal(IDI_LICENCE)},
               });
    ExpectPage(IDD_DESTINATION, 278, 76, "",
               {
                   {IDC_DESTINATION_BROWSE, "Button", kButton, 79, 50, 50, 14, ""},
                   {IDC_DESTINATION_CANCEL, "Button", kButton, 214, 50, 50, 14, ""},
                   {IDC_DESTINATION_NEXT, "Button", kButton, 147, 50, 50, 14, ""},
                   {IDC_DESTINATION_PATH, "Edit", kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 78, 25, 186, 15,
                    ""},
                   {IDC_DESTINATION_LABEL, "Static", kLabel, 74, 8, 189, 10, ""},
                   {IDC_PAGE_ICON, "Static", kIcon, 20, 12, 43, 39, Ordinal(IDI_DESTINATION)},
               });
    ExpectPage(IDD_PROGRESS, 302, 84, "",
               {
                   {IDC_PROGRESS_PERCENT, "Static", kLabel, 216, 25, 24, 13, "100 %"},
                   {IDC_PROGRESS_TEXT, "Static", kLabel, 5, 12, 207, 9, ""},
                   {IDC_PROGRESS_FILE_TEXT, "Static", kLabel, 5, 43, 207, 8, ""},
                   {IDC_PROGRESS_CANCEL, "Button", kButton, 241, 62, 50, 14, ""},
                   {IDC_PROGRESS_BAR, "msctls_progress32", kProgress, 11, 23, 201, 14, ""},
                   {IDC_PAGE_ICON, "Static", kIcon, 244, 15, 43, 39, Ordinal(IDI_PROGRESS)},
                   {IDC_PROGRESS_FILE_PERCENT, "Static", kLabel, 216, 56, 24, 13, "100 %"},
                   {IDC_PROGRESS_FILE_BAR, "msctls_progress32", kProgress, 11, 53, 201, 14, ""},
               });
    ExpectPage(IDD_OPTIONS, 279, 133, "",
               {
                   {IDC_OPTIONS_FINISH, "Button", kButton, 115, 111, 50, 14, ""},
                   {IDC_OPTIONS_TEXT, "Static", kLabel, 16, 9, 256, 26, ""},
                   {IDC_OPTION_DESKTOP, "Button", kCheck | WS_DISABLED, 16, 47, 208, 12, ""},
                   {IDC_OPTION_MENU, "Button", kCheck | WS_DISABLED, 16, 61, 208, 12, ""},
                   {IDC_OPTION_INFO, "Button", kCheck | WS_DISABLED, 16, 76, 208, 12, ""},
                   {IDC_OPTION_RUN, "Button", kCheck | WS_DISABLED, 16, 91, 208, 12, ""},
                   {IDC_PAGE_ICON, "Static", kIcon, 228, 52, 43, 39, Ordinal(IDI_OPTIONS)},
               });
}

TEST(Resources, IconGroupsHaveTheirSizesIn32BitColour) {
    struct Group {
        int id;
        std::vector<int> sizes;
    } groups[] = {{IDI_PROGRAM, {32, 16}}, {IDI_LANGUAGE, {48}}, {IDI_LICENCE, {64}},
                  {IDI_DESTINATION, {64}}, {IDI_PROGRESS, {64}}, {IDI_OPTIONS, {64}}};
    for (const Group& g : groups) {
        HRSRC found = FindResourceA(Installer(), MAKEINTRESOURCEA(g.id), reinterpret_cast<LPCSTR>(RT_GROUP_ICON));
        ASSERT_NE(nullptr, found) << "icon group " << g.id;
        const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(Installer(), found)));
        WORD count;
        memcpy(&count, data + 4, 2);
        ASSERT_EQ(g.sizes.size(), count) << "icon group " << g.id;
        for (WORD i = 0; i < count; ++i) {
            const BYTE* entry = data + 6 + 14 * i;
            WORD bits;
            memcpy(&bits, entry + 6, 2);
            EXPECT_EQ(g.sizes[i], entry[0]) << "icon group " << g.id;
            EXPECT_EQ(g.sizes[i], entry[1]) << "icon group " << g.id;
            EXPECT_EQ(32, bits) << "icon group " << g.id;
        }
    }
}

// The manifest resource of a program, loaded as data.
std::string Manifest(HMODULE module) {
    int manifests = 0;
    EnumResourceNamesA(module, MAKEINTRESOURCEA(24), CountName, reinterpret_cast<LONG_PTR>(&manifests));
    EXPECT_EQ(1, manifests);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    if (!found)
        return "";
    return std::string(static_cast<const char*>(LockResource(LoadResource(module, found))),
                       SizeofResource(module, found));
}

TEST(Resources, ManifestAsksForCommonControls6) {
    std::string text = Manifest(Installer());
    ASSERT_NE("", text);
    for (const char* part : {"<assemblyIdentity name=\"Brondale\" version=\"1.0.0.0\" processorArchitecture=\"x86\" "
                             "type=\"win32\"/>",
                             "<description>Brondale</description>", "name=\"Microsoft.Windows.Common-Controls\"",
                             "version=\"6.0.0.0\"", "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\""})
        EXPECT_NE(std::string::npos, text.find(part)) << part;
}

// Both start with the rights of whoever started them: a run for every user
// elevates itself by starting an elevated half, a run for one user never
// asks for rights it does not need.
TEST(Resources, BothProgramsRunAsTheirUserStartedThem) {
    HMODULE uninstaller = LoadLibraryExA(BRONDALE_UNINSTALLER_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, uninstaller);
    struct Row {
        const char* program;
        HMODULE module;
        const char* identity;
    } rows[] = {
        {"installer", Installer(), "name=\"Brondale\""},
        {"uninstaller", uninstaller, "name=\"Brondale.UnInst\""},
    };
    for (const Row& r : rows) {
        std::string text = Manifest(r.module);
        EXPECT_NE(std::string::npos, text.find(r.identity)) << r.program;
        EXPECT_NE(std::string::npos, text.find("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">")) << r.program;
        EXPECT_NE(std::string::npos, text.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"))
            << r.program;
        EXPECT_EQ(std::string::npos, text.find("requireAdministrator")) << r.program;
    }
    FreeLibrary(uninstaller);
}

namespace {

// The names of the DLLs that a program file imports, read from its import
// directory; empty when the file is no PE image.
std::vector<std::string> ImportedDlls(const char* file) {
    std::vector<std::string> names;
    HANDLE h = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    std::string bytes(GetFileSize(h, nullptr), '\0');
    DWORD got = 0;
    ReadFile(h, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(h);
    auto at = [&](size_t offset, size_t size) { return offset + size <= bytes.size() ? &bytes[offset] : nullptr; };
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0, sizeof(IMAGE_DOS_HEADER)));
    const IMAGE_NT_HEADERS32* nt =
        dos ? reinterpret_cast<const IMAGE_NT_HEADERS32*>(at(dos->e_lfanew, sizeof(IMAGE_NT_HEADERS32))) : nullptr;
    if (!nt)
        return names;
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i)
            if (rva >= sections[i].VirtualAddress && rva < sections[i].VirtualAddress + sections[i].SizeOfRawData)
                return rva - sections[i].VirtualAddress + sections[i].PointerToRawData;
        return bytes.size();
    };
    DWORD rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (size_t d = fileOffset(rva);; d += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const IMAGE_IMPORT_DESCRIPTOR* entry =
            reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(d, sizeof(IMAGE_IMPORT_DESCRIPTOR)));
        if (!entry || entry->Name == 0)
            break;
        const char* name = at(fileOffset(entry->Name), 1);
        names.push_back(name ? name : "?");
    }
    return names;
}

} // namespace

TEST(DllSearch, BothProgramsImportOnlyTheSystemsKnownDlls) {
    // A DLL imported at load time is looked for beside the program before
    // any restriction can act, unless the system keeps it among its known
    // DLLs; everything else (CNG, say) is bound at run time from the system
    // folder. ntdll is mapped into every process by the system before the
    // program's imports are looked for at all.
    const std::vector<std::string> known = {"ADVAPI32.dll", "KERNEL32.dll", "msvcrt.dll",  "ole32.dll",
                                            "OLEAUT32.dll", "SHELL32.dll",  "USER32.dll",  "GDI32.dll",
                                            "COMDLG32.dll", "SHLWAPI.dll",  "ntdll.dll"};
    for (const char* program : {BRONDALE_INSTALLER_EXE, BRONDALE_UNINSTALLER_EXE}) {
        std::vector<std::string> imported = ImportedDlls(program);
        EXPECT_GE(imported.size(), 3u) << program;
        for (const std::string& name : imported) {
            bool isKnown = false;
            for (const std::string& k : known)
                isKnown = isKnown || _stricmp(k.c_str(), name.c_str()) == 0;
            EXPECT_TRUE(isKnown) << program << " imports " << name;
        }
    }
}

TEST(DllSearch, APlantedDllBesideTheProgramIsNotLoaded) {
    // Without the restriction the DLL beside the program is found ...
    HMODULE planted = LoadLibraryA("brondale_planted.dll");
    ASSERT_NE(nullptr, planted) << "the test DLL must stand beside unit_tests.exe";
    FreeLibrary(planted);
    // ... with it, only the system folder is searched.
    RestrictDllSearch();
    EXPECT_EQ(nullptr, LoadLibraryA("brondale_planted.dll"));
    HMODULE system = LoadLibraryA("version.dll");
    EXPECT_NE(nullptr, system) << "system DLLs still load";
    if (system)
        FreeLibrary(system);
}
