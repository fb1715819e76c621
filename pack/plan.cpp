// The plan follows the installer's reading of its configuration: the list
// convention, the quoting rule of [value], the dynamic path substitution and
// the launch modes. DEST stands for the folder the user will choose.
// pack/plantext.cpp writes it out.
#include "pack/plan.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>

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

// The product's files, then the record folder's.
void AddFiles(const Configuration& c, const std::vector<std::pair<std::string, uint32_t>>& program, Plan* plan) {
    for (const auto& p : program) {
        plan->files.push_back({p.first, p.second, ""});
        plan->bytes += p.second;
    }
    const std::string record = std::string(kRecordFolder) + "\\";
    plan->recordFiles = {
        {record + kRecordFile, 0, "the uninstall record"},
        {record + kFileListFile, 0, "the installed files with their sizes and CRC-32"},
        {record + kLanguageRecordFile, 0, "the chosen language file; none for Polski"},
        {record + kUninstallerFile, c.uninstallerBytes,
         c.hasUninstaller ? "" : std::string("missing: no ") + kUninstallerInPackage + " in the package"}};
}

// The product's key below HKEY_LOCAL_MACHINE (or HKEY_CURRENT_USER for one
// user), with every value the installer writes there; bytes is what the
// installed files come to.
void AddUninstallEntry(const Configuration& c, const std::string& name, uint64_t bytes, Plan* plan) {
    std::string command = "\"DEST" + std::string(kUninstallerCommand) + "\"";
    std::string program = c.init.Get("product", kProductProgram);
    std::string icon = program.empty() ? command : "\"DEST\\" + program + "\"";
    plan->uninstallKey = std::string(kUninstallKey) + name;
    std::vector<PlanValue>& v = plan->uninstallValues;
    v = {{"DisplayName", "REG_SZ", name},
         {"DisplayIcon", "REG_SZ", icon},
         {"UninstallString", "REG_SZ", command},
         {kQuietUninstallValue, "REG_SZ", command + " /S"}};
    const char* const kGiven[3][2] = {{kProductVersion, kDisplayVersionValue},
                                      {kProductPublisher, kPublisherValue},
                                      {kProductUrl, kUrlInfoValue}};
    for (const auto& given : kGiven) {
        std::string value = c.init.Get("product", given[0]);
        if (!value.empty())
            v.push_back({given[1], "REG_SZ", value});
    }
    const std::string record = std::string("SHA-256 of DEST\\") + kRecordFolder + "\\";
    v.push_back({kInstallLocationValue, "REG_SZ", "DEST"});
    v.push_back({kInstallDateValue, "REG_SZ", "the day of the installation (YYYYMMDD)"});
    v.push_back({kEstimatedSizeValue, "REG_DWORD", "about " + std::to_string((bytes + 1023) / 1024) +
                                                      " KiB (the files above)"});
    v.push_back({kNoModifyValue, "REG_DWORD", "1"});
    v.push_back({kNoRepairValue, "REG_DWORD", "1"});
    v.push_back({"RecordDigest", "REG_SZ", record + kRecordFile});
    v.push_back({"FileListDigest", "REG_SZ", record + kFileListFile});
}

// The desktop (kind 0) or Start-menu (kind 1) shortcuts; the Start menu
// always gets one for the uninstaller.
void AddShortcuts(const Ini& lnk, int kind, const std::string& name, Plan* plan) {
    const char* const kIndex[2] = {"index1", "index2"};
    const char* const kList[2] = {"desktop", "menu"};
    const char* const kWhere[2] = {"<common desktop>", "<common Start-menu programs>\\"};
    bool available = !lnk.Get(kIndex[kind], "max").empty();
    (kind ? plan->menuOption : plan->desktopOption) = available;
    if (!available)
        return;
    long end = atol(lnk.Get(kIndex[kind], "max").c_str());
    std::vector<std::string> targets;
    for (long i = 1; i < end && i <= 10000; ++i) {
        std::string t = lnk.Get(kList[kind], std::to_string(i));
        if (!t.empty())
            targets.push_back(t);
    }
    if (kind == 1)
        targets.push_back(kUninstallerMenuEntry);
    for (const std::string& t : targets) {
        size_t slash = t.find_last_of('\\');
        std::string file = slash == std::string::npos ? t : t.substr(slash + 1);
        std::string dir = slash == std::string::npos ? "" : "\\" + t.substr(0, slash);
        (kind ? plan->menu : plan->desktop)
            .push_back({kWhere[kind] + (kind ? name + "\\" : "\\") + file + ".lnk", "DEST\\" + t, "DEST" + dir});
    }
}

// Entry k of reg.cfg, as the installer writes it or why it does not.
PlanRegistryValue RegistryValue(const Ini& reg, const std::string& k, const std::string& pattern) {
    static const char* const kTypes[4] = {"REG_BINARY", "REG_DWORD", "REG_EXPAND_SZ", "REG_SZ"};
    PlanRegistryValue r;
    r.key = reg.Get("key", k);
    r.name = reg.Get("name", k);
    std::string value = reg.Get("value", k), type = reg.Get("type", k);
    if (reg.Int("line", k) != 0)
        value = "\"" + value + "\"";
    if (reg.Int("dynam", k) != 0) {
        for (size_t at = value.find(pattern); at != std::string::npos; at = value.find(pattern, at + 4)) {
            value.replace(at, pattern.size(), "DEST");
            r.substituted = true;
        }
    }
    long t = r.substituted ? 3 : (type.empty() ? 0 : atol(type.c_str()));
    r.written = false;
    if (t < 0 || t > 3 || (!type.empty() && !isdigit(static_cast<unsigned char>(type[0]))))
        r.why = "type \"" + type + "\" is not 0 to 3";
    else if (RegistryRootOf(r.key.c_str()) == kNoRegistryRoot)
        r.why = "no root key name";
    else
        r.written = true;
    if (r.written) {
        r.type = kTypes[t];
        r.data = value;
    }
    return r;
}

void AddEnd(const Ini& init, Plan* plan) {
    plan->informationFile = init.Get("cfg", "3");
    long runEnd = atol(init.Get("index", "max").c_str());
    for (int mode = 1; mode >= 0; --mode) {
        for (long i = 1; i < runEnd && i <= 10000; ++i) {
            std::string k = std::to_string(i), run = init.Get("Run", k), silent = init.Get("silent", k);
            if (!run.empty() && silent == std::to_string(mode))
                plan->launches.push_back({"DEST\\" + run, mode ? "always" : "option"});
        }
    }
    long endU = atol(init.Get("index", "maxU").c_str());
    for (long i = 1; i < endU && i <= 10000; ++i) {
        std::string run = init.Get("RunU", std::to_string(i));
        if (!run.empty())
            plan->launches.push_back({"DEST\\" + run, "uninstaller"});
    }
}

// Whom the product installs for, and the folder each choice proposes.
void AddScope(const std::string& value, Plan* plan) {
    static const char* const kNames[4] = {"machine", "user", "choose", "machine"};
    static const char* const kFor[4] = {"every user (administrator rights)", "the user who runs it (no elevation)",
                                        "every user or one user, as /ALLUSERS, /CURRENTUSER or the question chooses",
                                        "every user (Scope is not machine, user or choose)"};
    ScopeSetting scope = ParseScopeSetting(value.c_str());
    plan->scope = kNames[scope];
    plan->installedFor = kFor[scope];
    std::string machine = "<Program Files>\\" + plan->product, user = "<LOCALAPPDATA>\\Programs\\" + plan->product;
    plan->proposedFolder = scope == kSettingUser ? user : machine;
    if (scope == kSettingChoose)
        plan->folderForOneUser = user;
}

}  // namespace

Plan MakePlan(const std::vector<std::pair<std::string, std::string>>& install,
              const std::vector<std::pair<std::string, uint32_t>>& program) {
    Configuration c = ReadConfiguration(install);
    Plan plan;
    plan.product = c.init.Get("cfg", "1");
    AddScope(c.init.Get("product", kProductScope), &plan);
    plan.licence = c.init.Get("cfg", "2");
    AddFiles(c, program, &plan);
    AddUninstallEntry(c, plan.product, plan.bytes + c.uninstallerBytes, &plan);
    for (int kind = 0; kind < 2; ++kind)
        AddShortcuts(c.lnk, kind, plan.product, &plan);
    long end = atol(c.reg.Get("index", "max").c_str());
    std::string pattern = "%ProgramFiles%\\" + plan.product.substr(0, 63);
    for (long i = 1; i < end && i <= 10000; ++i)
        plan.registry.push_back(RegistryValue(c.reg, std::to_string(i), pattern));
    AddEnd(c.init, &plan);
    return plan;
}
