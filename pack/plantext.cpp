// The plan written out: as text for people (in the package's code page, as
// plan prints it after converting), and as JSON for tools.
#include "pack/plantext.h"

#include <sstream>

#include "base/installed.h"
#include "pack/finding.h"
#include "pack/json.h"

namespace {

void FilesText(const Plan& plan, std::ostream& out) {
    out << "\nFiles written into DEST (" << plan.files.size() << ", " << plan.bytes << " bytes):\n";
    for (const PlanFile& f : plan.files)
        out << "  DEST\\" << f.path << " (" << f.bytes << " bytes)\n";
    for (const PlanFile& f : plan.recordFiles)
        out << "  DEST\\" << f.path << (f.note.empty() ? "" : " (" + f.note + ")") << "\n";
}

void ShortcutsText(const std::vector<PlanShortcut>& shortcuts, bool available, int kind, std::ostream& out) {
    out << "  " << (kind ? "Start menu" : "desktop") << " (when option \""
        << (kind ? "Start-menu shortcuts" : "desktop shortcuts") << "\" is "
        << (available ? "ticked" : "available: no, so none are made") << "):\n";
    for (const PlanShortcut& s : shortcuts)
        out << "    " << s.link << " -> " << s.target << " (working folder " << s.workingFolder << ")\n";
}

void EndText(const Plan& plan, std::ostream& out) {
    out << "\nAt the end:\n  information file: "
        << (plan.informationFile.empty()
                ? "none"
                : plan.informationFile + " in DEST (when option \"show the information file\" is ticked)")
        << "\n";
    for (const PlanLaunch& l : plan.launches) {
        if (l.when == "uninstaller")
            out << "  the uninstaller will first start " << l.path << "\n";
        else
            out << "  start " << l.path
                << (l.when == "always" ? " (always)" : " (when option \"run the program\" is ticked)") << "\n";
    }
}

}  // namespace

std::string PlanText(const Plan& plan) {
    std::ostringstream out;
    out << "Product: " << plan.product << "\n";
    out << "Installed for: " << plan.installedFor << "\n";
    out << "Proposed folder (DEST): " << plan.proposedFolder
        << (plan.folderForOneUser.empty() ? "" : ", or for one user " + plan.folderForOneUser) << "\n";
    out << "Licence page: " << (plan.licence.empty() ? "none" : plan.licence) << "\n";
    FilesText(plan, out);
    std::string machine = std::string(kRegistryRoots[kLocalMachineRoot]) + "\\" + plan.uninstallKey +
                          " (on 64-bit Windows below SOFTWARE\\WOW6432Node)";
    std::string user = std::string(kRegistryRoots[kCurrentUserRoot]) + "\\" + plan.uninstallKey;
    out << "\nUninstall entry: "
        << (plan.scope == "user" ? user : plan.scope == "choose" ? machine + ", or for one user " + user : machine)
        << "\n";
    for (const PlanValue& v : plan.uninstallValues)
        out << "  " << v.name << " = " << (v.type == "REG_SZ" ? "" : v.type + " ") << v.data << "\n";
    out << "\nShortcuts" << (plan.scope == "machine" ? "" : " (for one user in that user's own desktop and Start menu)")
        << ":\n";
    ShortcutsText(plan.desktop, plan.desktopOption, 0, out);
    ShortcutsText(plan.menu, plan.menuOption, 1, out);
    out << "\nRegistry values:\n";
    for (const PlanRegistryValue& r : plan.registry) {
        out << "  " << (r.key.empty() ? "(no key)" : r.key) << " : " << (r.name.empty() ? "(default)" : r.name);
        if (!r.written)
            out << " -- not written: " << r.why << "\n";
        else
            out << " = " << r.type << " " << r.data << (r.substituted ? " (DEST substituted)" : "") << "\n";
    }
    EndText(plan, out);
    return out.str();
}

std::string PlanJson(const Plan& plan, int codePage) {
    auto text = [codePage](const std::string& s) { return JsonString(FromPackage(s, codePage)); };
    std::vector<std::string> files, values, desktop, menu, registry, launches;
    for (const std::vector<PlanFile>* list : {&plan.files, &plan.recordFiles})
        for (const PlanFile& f : *list)
            files.push_back(JsonObject({{"path", text("DEST\\" + f.path)},
                                        {"bytes", JsonNumber(f.bytes)},
                                        {"record", JsonBool(list == &plan.recordFiles)},
                                        {"note", text(f.note)}}));
    for (const PlanValue& v : plan.uninstallValues)
        values.push_back(JsonObject({{"name", text(v.name)}, {"type", text(v.type)}, {"data", text(v.data)}}));
    for (const auto& [list, out] : {std::make_pair(&plan.desktop, &desktop), std::make_pair(&plan.menu, &menu)})
        for (const PlanShortcut& s : *list)
            out->push_back(JsonObject(
                {{"link", text(s.link)}, {"target", text(s.target)}, {"workingFolder", text(s.workingFolder)}}));
    for (const PlanRegistryValue& r : plan.registry)
        registry.push_back(JsonObject({{"key", text(r.key)},
                                       {"name", text(r.name)},
                                       {"written", JsonBool(r.written)},
                                       {"type", text(r.type)},
                                       {"data", text(r.data)},
                                       {"destSubstituted", JsonBool(r.substituted)},
                                       {"why", text(r.why)}}));
    for (const PlanLaunch& l : plan.launches)
        launches.push_back(JsonObject({{"path", text(l.path)}, {"when", text(l.when)}}));
    return JsonObject({{"product", text(plan.product)},
                       {"scope", text(plan.scope)},
                       {"proposedFolder", text(plan.proposedFolder)},
                       {"folderForOneUser", text(plan.folderForOneUser)},
                       {"licence", text(plan.licence)},
                       {"files", JsonArray(files)},
                       {"bytes", JsonNumber(plan.bytes)},
                       {"uninstallKey", text(std::string(kRegistryRoots[plan.scope == "user" ? kCurrentUserRoot
                                                                                              : kLocalMachineRoot]) +
                                             "\\" + plan.uninstallKey)},
                       {"uninstallValues", JsonArray(values)},
                       {"desktopShortcuts", JsonObject({{"option", JsonBool(plan.desktopOption)},
                                                        {"shortcuts", JsonArray(desktop)}})},
                       {"startMenuShortcuts",
                        JsonObject({{"option", JsonBool(plan.menuOption)}, {"shortcuts", JsonArray(menu)}})},
                       {"registryValues", JsonArray(registry)},
                       {"informationFile", text(plan.informationFile)},
                       {"launches", JsonArray(launches)}});
}

std::string DescribePlan(const std::vector<std::pair<std::string, std::string>>& install,
                         const std::vector<std::pair<std::string, uint32_t>>& program) {
    return PlanText(MakePlan(install, program));
}
