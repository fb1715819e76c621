// The plan follows the installer's reading of its configuration: the list
// convention, the quoting rule of [value], the dynamic path substitution and
// the launch modes. DEST stands for the folder the user will choose.
#include "pack/plan.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "base/ascii.h"
#include "base/installed.h"
#include "config/config.h"
#include "config/scope.h"
#include "pack/ini.h"

namespace {

// The three configuration files of the Install section, and whether it
// carries the uninstaller.
struct Configuration {
    Ini init, lnk, reg;
    bool hasUninstaller = false;
    uint64_t uninstallerBytes = 0;
};

Configuration ReadConfiguration(const std::vector<std::pair<std::string, std::string>>& install) {
    Configuration c;
    for (const auto& f : install) {
        std::string n = LowerAscii(f.first);
        if (n == "init.cfg")
            c.init = Ini(f.second);
        else if (n == "lnk.cfg")
            c.lnk = Ini(f.second);
        else if (n == "reg.cfg")
            c.reg = Ini(f.second);
        else if (n == LowerAscii(kUninstallerInPackage)) {
            c.hasUninstaller = true;
            c.uninstallerBytes = f.second.size();
        }
    }
    return c;
}

void DescribeFiles(const Configuration& c, const std::vector<std::pair<std::string, uint32_t>>& program,
                   std::ostream& out) {
    uint64_t bytes = 0;
    for (const auto& p : program)
        bytes += p.second;
    out << "\nFiles written into DEST (" << program.size() << ", " << bytes << " bytes):\n";
    for (const auto& p : program)
        out << "  DEST\\" << p.first << " (" << p.second << " bytes)\n";
    const std::string record = std::string("  DEST\\") + kRecordFolder + "\\";
    out << record << kRecordFile << " (the uninstall record)\n";
    out << record << kFileListFile << " (the installed files with their sizes and CRC-32)\n";
    out << record << kLanguageRecordFile << " (the chosen language file; none for Polski)\n";
    out << record << kUninstallerFile
        << (c.hasUninstaller ? "" : std::string(" (missing: no ") + kUninstallerInPackage + " in the package)") << "\n";
}

// The product's key below HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER for one
// user, with every value the installer writes there; bytes is what the
// installed files come to.
void DescribeUninstallEntry(const Configuration& c, const std::string& name, uint64_t bytes, ScopeSetting scope,
                            std::ostream& out) {
    std::string command = "\"DEST" + std::string(kUninstallerCommand) + "\"";
    std::string machine = std::string(kRegistryRoots[kLocalMachineRoot]) + "\\" + kUninstallKey + name +
                          " (on 64-bit Windows below SOFTWARE\\WOW6432Node)";
    std::string user = std::string(kRegistryRoots[kCurrentUserRoot]) + "\\" + kUninstallKey + name;
    out << "\nUninstall entry: "
        << (scope == kSettingUser ? user : scope == kSettingChoose ? machine + ", or for one user " + user : machine)
        << "\n  DisplayName = " << name
        << "\n  DisplayIcon = " << command << "\n  UninstallString = " << command << "\n  " << kQuietUninstallValue
        << " = " << command << " /S\n";
    const char* const kGiven[3][2] = {{kProductVersion, kDisplayVersionValue},
                                      {kProductPublisher, kPublisherValue},
                                      {kProductUrl, kUrlInfoValue}};
    for (const auto& given : kGiven) {
        std::string value = c.init.Get("product", given[0]);
        if (!value.empty())
            out << "  " << given[1] << " = " << value << "\n";
    }
    out << "  " << kInstallLocationValue << " = DEST\n  " << kInstallDateValue
        << " = the day of the installation (YYYYMMDD)\n  " << kEstimatedSizeValue << " = REG_DWORD about "
        << (bytes + 1023) / 1024 << " KiB (the files above)\n  " << kNoModifyValue << " = REG_DWORD 1\n  "
        << kNoRepairValue << " = REG_DWORD 1\n  RecordDigest = SHA-256 of DEST\\" << kRecordFolder << "\\"
        << kRecordFile << "\n  FileListDigest = SHA-256 of DEST\\" << kRecordFolder << "\\" << kFileListFile << "\n";
}

// The desktop (kind 0) or Start-menu (kind 1) shortcuts; the Start menu
// always gets one for the uninstaller.
void DescribeShortcuts(const Ini& lnk, int kind, const std::string& name, std::ostream& out) {
    const char* const kIndex[2] = {"index1", "index2"};
    const char* const kList[2] = {"desktop", "menu"};
    const char* const kWhere[2] = {"<common desktop>", "<common Start-menu programs>\\"};
    long end = atol(lnk.Get(kIndex[kind], "max").c_str());
    std::vector<std::string> targets;
    for (long i = 1; i < end && i <= 10000; ++i) {
        std::string t = lnk.Get(kList[kind], std::to_string(i));
        if (!t.empty())
            targets.push_back(t);
    }
    if (kind == 1)
        targets.push_back(kUninstallerMenuEntry);
    out << "  " << (kind ? "Start menu" : "desktop") << " (when option \""
        << (kind ? "Start-menu shortcuts" : "desktop shortcuts") << "\" is "
        << (lnk.Get(kIndex[kind], "max").empty() ? "available: no, so none are made" : "ticked") << "):\n";
    if (lnk.Get(kIndex[kind], "max").empty())
        return;
    for (const std::string& t : targets) {
        size_t slash = t.find_last_of('\\');
        std::string file = slash == std::string::npos ? t : t.substr(slash + 1);
        std::string dir = slash == std::string::npos ? "" : "\\" + t.substr(0, slash);
        out << "    " << kWhere[kind] << (kind ? name + "\\" : "\\") << file << ".lnk -> DEST\\" << t
            << " (working folder DEST" << dir << ")\n";
    }
}

// Entry k of reg.cfg, as the installer writes it or why it does not.
void DescribeRegistryValue(const Ini& reg, const std::string& k, const std::string& pattern, std::ostream& out) {
    static const char* const kTypes[4] = {"REG_BINARY", "REG_DWORD", "REG_EXPAND_SZ", "REG_SZ"};
    std::string key = reg.Get("key", k), value = reg.Get("value", k), type = reg.Get("type", k);
    std::string valueName = reg.Get("name", k);
    if (reg.Int("line", k) != 0)
        value = "\"" + value + "\"";
    bool substituted = false;
    if (reg.Int("dynam", k) != 0) {
        for (size_t at = value.find(pattern); at != std::string::npos; at = value.find(pattern, at + 4)) {
            value.replace(at, pattern.size(), "DEST");
            substituted = true;
        }
    }
    long t = substituted ? 3 : (type.empty() ? 0 : atol(type.c_str()));
    bool rooted = RegistryRootOf(key.c_str()) != kNoRegistryRoot;
    out << "  " << (key.empty() ? "(no key)" : key) << " : " << (valueName.empty() ? "(default)" : valueName);
    if (t < 0 || t > 3 || (!type.empty() && !isdigit(static_cast<unsigned char>(type[0]))))
        out << " -- not written: type \"" << type << "\" is not 0 to 3\n";
    else if (!rooted)
        out << " -- not written: no root key name\n";
    else
        out << " = " << kTypes[t] << " " << value << (substituted ? " (DEST substituted)" : "") << "\n";
}

void DescribeEnd(const Ini& init, std::ostream& out) {
    out << "\nAt the end:\n";
    std::string info = init.Get("cfg", "3");
    out << "  information file: "
        << (info.empty() ? "none" : info + " in DEST (when option \"show the information file\" is ticked)") << "\n";
    long runEnd = atol(init.Get("index", "max").c_str());
    for (int mode = 1; mode >= 0; --mode) {
        for (long i = 1; i < runEnd && i <= 10000; ++i) {
            std::string k = std::to_string(i), run = init.Get("Run", k), silent = init.Get("silent", k);
            if (run.empty() || silent != std::to_string(mode))
                continue;
            out << "  start DEST\\" << run << (mode ? " (always)" : " (when option \"run the program\" is ticked)")
                << "\n";
        }
    }
    long endU = atol(init.Get("index", "maxU").c_str());
    for (long i = 1; i < endU && i <= 10000; ++i) {
        std::string run = init.Get("RunU", std::to_string(i));
        if (!run.empty())
            out << "  the uninstaller will first start DEST\\" << run << "\n";
    }
}

}  // namespace

std::string DescribePlan(const std::vector<std::pair<std::string, std::string>>& install,
                         const std::vector<std::pair<std::string, uint32_t>>& program) {
    Configuration c = ReadConfiguration(install);
    std::ostringstream out;
    std::string name = c.init.Get("cfg", "1");
    out << "Product: " << name << "\n";
    ScopeSetting scope = ParseScopeSetting(c.init.Get("product", kProductScope).c_str());
    static const char* const kFor[4] = {"every user (administrator rights)", "the user who runs it (no elevation)",
                                        "every user or one user, as /ALLUSERS, /CURRENTUSER or the question chooses",
                                        "every user (Scope is not machine, user or choose)"};
    out << "Installed for: " << kFor[scope] << "\n";
    std::string machineFolder = "<Program Files>\\" + name, userFolder = "<LOCALAPPDATA>\\Programs\\" + name;
    out << "Proposed folder (DEST): "
        << (scope == kSettingUser     ? userFolder
            : scope == kSettingChoose ? machineFolder + ", or for one user " + userFolder
                                      : machineFolder)
        << "\n";
    std::string licence = c.init.Get("cfg", "2");
    out << "Licence page: " << (licence.empty() ? "none" : licence) << "\n";
    DescribeFiles(c, program, out);
    uint64_t bytes = c.uninstallerBytes;
    for (const auto& p : program)
        bytes += p.second;
    DescribeUninstallEntry(c, name, bytes, scope, out);
    out << "\nShortcuts" << (scope == kSettingUser || scope == kSettingChoose
                                 ? " (for one user in that user's own desktop and Start menu)"
                                 : "")
        << ":\n";
    for (int kind = 0; kind < 2; ++kind)
        DescribeShortcuts(c.lnk, kind, name, out);
    out << "\nRegistry values:\n";
    long end = atol(c.reg.Get("index", "max").c_str());
    std::string pattern = "%ProgramFiles%\\" + name.substr(0, 63);
    for (long i = 1; i < end && i <= 10000; ++i)
        DescribeRegistryValue(c.reg, std::to_string(i), pattern, out);
    DescribeEnd(c.init, out);
    return out.str();
}
