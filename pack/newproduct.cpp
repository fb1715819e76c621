// The new product's files. Configuration is written with CR LF line ends in
// the installer's code page; comments stand on lines of their own, since the
// installer's profile reader keeps anything after "=" as the value.
#include "pack/newproduct.h"

#include <filesystem>
#include <fstream>

#include "lang/english.h"
#include "pack/product.h"
#include "base/format.h"

namespace fs = std::filesystem;

namespace {

// Lines joined with CR LF; "@" stands for the product's name, "#" for its
// program's name.
std::string Text(std::initializer_list<const char*> lines, const std::string& name, const std::string& program) {
    std::string out;
    for (const char* line : lines) {
        for (const char* c = line; *c; ++c) {
            if (*c == '@')
                out += name;
            else if (*c == '#')
                out += program;
            else
                out += *c;
        }
        out += "\r\n";
    }
    return out;
}

std::string InitCfg(const std::string& name, const std::string& program) {
    // One line of the file a line here.
    // clang-format off
    return Text({"; init.cfg: the product, its licence, and what starts when the installation ends.",
                 "; Comments stand on lines of their own: after \"=\", everything is the value.",
                 "[cfg]",
                 "; 1: the product name: page captions, the folder under Program Files,",
                 "; the Uninstall key and the Start-menu folder (at most 63 characters).",
                 "1=@",
                 "; 2: the licence text, a file in install/; empty: no licence page.",
                 "2=licence.txt",
                 "; 3: an information file in program/, opened at the end when its option",
                 "; stays ticked; empty: none.",
                 "3=",
                 "[index]",
                 "; max: one more than the number of [Run] entries (and of [silent] ones).",
                 "max=2",
                 "; maxU: one more than the number of [RunU] entries; 1: none.",
                 "maxU=1",
                 "[Run]",
                 "; What opens when the installation ends, relative to the chosen folder.",
                 "1=#",
                 "[silent]",
                 "; 1: always opened; 0: opened when \"run the program\" stays ticked.",
                 "1=0",
                 "[RunU]",
                 "; What the uninstaller starts, and waits for, before it removes files:",
                 "; entries 1=, 2=, ... like [Run]'s, counted by maxU.",
                 "[product]",
                 "; The product's identity, in the list of installed programs and in the",
                 "; installer's file properties; each may stay empty. Version: one to four",
                 "; numbers joined by dots; Publisher: who makes the product; URL: its web",
                 "; page. install/setup.ico, when there is one, becomes the installer's icon.",
                 "Version=1.0",
                 "Publisher=",
                 "URL=",
                 "; Whom it installs for: machine (every user; administrator rights), user",
                 "; (only the user who runs it, in that user's own folders; no elevation) or",
                 "; choose (asked before the wizard, or /ALLUSERS and /CURRENTUSER). A product",
                 "; that may install for one user writes no HKEY_LOCAL_MACHINE value.",
                 "Scope=machine"},
                name, program);
    // clang-format on
}

std::string LnkCfg(const std::string& name, const std::string& program) {
    // One line of the file a line here.
    // clang-format off
    return Text({"; lnk.cfg: shortcuts to files of program/, named after the file.",
                 "[index1]",
                 "; max: one more than the number of [desktop] entries.",
                 "max=2",
                 "[desktop]",
                 "; Shortcuts on the common desktop.",
                 "1=#",
                 "[index2]",
                 "; max: one more than the number of [menu] entries; the uninstaller's",
                 "; shortcut is added to the menu on its own.",
                 "max=2",
                 "[menu]",
                 "; Shortcuts in the Start menu's folder named after the product.",
                 "1=#"},
                name, program);
    // clang-format on
}

std::string RegCfg(const std::string& name, const std::string& program) {
    // One line of the file a line here.
    // clang-format off
    return Text({"; reg.cfg: registry values written when the installation ends.",
                 "[index]",
                 "; max: one more than the number of values.",
                 "max=2",
                 "[key]",
                 "; The key, from its root: HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,",
                 "; HKEY_CLASSES_ROOT or HKEY_USERS.",
                 "1=HKEY_CURRENT_USER\\Software\\@",
                 "[name]",
                 "; The value's name; empty: the key's default value.",
                 "1=InstallFolder",
                 "[type]",
                 "; 0 REG_BINARY, 1 REG_DWORD, 2 REG_EXPAND_SZ, 3 REG_SZ.",
                 "1=3",
                 "[value]",
                 "; Text for types 2 and 3; hexadecimal digits for 0 and 1, most significant",
                 "; first (a DWORD takes eight).",
                 "1=%ProgramFiles%\\@",
                 "[dynam]",
                 "; 1: the value becomes the folder the user chose (and REG_SZ).",
                 "1=1",
                 "[line]",
                 "; 1: the value is stored in double quotes.",
                 "1=0"},
                name, program);
    // clang-format on
}

std::string EnglishLng() {
    std::string text = Text({"; English texts of the installer (1 to 21) and the uninstaller (30 to 37),",
                             "; by text number. A number left out keeps the built-in Polish text.", "[lng]"},
                            "", "");
    for (const EnglishText& t : kEnglishTexts)
        text += std::to_string(t.id) + "=" + t.text + "\r\n";
    return text;
}

bool Write(const fs::path& path, const std::string& text, std::string* error) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        *error = "cannot write " + path.u8string();
        return false;
    }
    return true;
}

}  // namespace

bool CreateProduct(const std::string& dir, const std::string& name, int codePage,
                   const std::vector<unsigned char>& program, std::string* programName, std::string* error) {
    size_t b = name.find_first_not_of(" \t"), e = name.find_last_not_of(" \t");
    std::string trimmed = b == std::string::npos ? "" : name.substr(b, e - b + 1);
    std::string ansi;
    if (trimmed.empty()) {
        *error = "the product needs a name (--name \"My Product\")";
        return false;
    }
    for (char c : trimmed) {
        if (static_cast<unsigned char>(c) < 0x20) {
            *error = "the product name has a control character";
            return false;
        }
    }
    if (!ToCodePage(trimmed, codePage, &ansi)) {
        *error = "the product name has characters code page " + std::to_string(codePage) + " does not hold";
        return false;
    }
    if (ansi.size() > 63) {
        *error = "the product name has " + std::to_string(ansi.size()) + " characters; the installer holds 63";
        return false;
    }
    // The program is named after the product where that makes a usable
    // file name that fits the installer's 63-character fields.
    std::string file = trimmed + ".exe", fileAnsi = ansi + ".exe";
    if (fileAnsi.size() > 63 || fileAnsi.find('\\') != std::string::npos ||
        !IsSafeMemberPath(fileAnsi.c_str(), fileAnsi.size()))
        file = fileAnsi = "Program.exe";

    fs::path root = fs::u8path(dir);
    std::error_code ec;
    bool existed = fs::exists(root, ec);
    if (existed && (!fs::is_directory(root, ec) || !fs::is_empty(root, ec))) {
        *error = dir + " already exists and is not an empty folder";
        return false;
    }
    bool ok = Write(root / "install" / "init.cfg", InitCfg(ansi, fileAnsi), error) &&
              Write(root / "install" / "lnk.cfg", LnkCfg(ansi, fileAnsi), error) &&
              Write(root / "install" / "reg.cfg", RegCfg(ansi, fileAnsi), error) &&
              Write(root / "install" / "licence.txt",
                    "The licence of " + ansi +
                        " goes here. The installer shows this text and asks\r\n"
                        "for it to be accepted before it installs anything.\r\n",
                    error) &&
              Write(root / "lang" / "English.lng", EnglishLng(), error) &&
              Write(root / "program" / fs::u8path(file), std::string(program.begin(), program.end()), error);
    if (!ok) {
        for (const char* sub : {"install", "lang", "program"})
            fs::remove_all(root / sub, ec);
        if (!existed)
            fs::remove(root, ec);
        return false;
    }
    *programName = file;
    return true;
}
