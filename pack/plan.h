// What an installer will do, read from its package alone: as a model, as
// the text plan prints and as the JSON of plan --json.
#ifndef BRONDALE_PACK_PLAN_H
#define BRONDALE_PACK_PLAN_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct PlanFile {
    std::string path;  // below DEST, in the package's code page
    uint64_t bytes = 0;
    std::string note;  // what a record file is; "" for the product's files
};

struct PlanValue {
    std::string name, type, data;  // data: the text, DEST standing for the folder
};

struct PlanShortcut {
    std::string link, target, workingFolder;
};

struct PlanRegistryValue {
    std::string key, name, type, data;
    bool written = true, substituted = false;
    std::string why;  // why it is not written
};

struct PlanLaunch {
    std::string path;
    std::string when;  // "always", "option" (run the program) or "uninstaller"
};

struct Plan {
    std::string product, proposedFolder, licence, informationFile;
    // Whom it installs for: "machine", "user" or "choose" as the installer
    // takes init.cfg's Scope, in words, and for "choose" the folder proposed
    // for one user (proposedFolder is then the one for every user).
    std::string scope, installedFor, folderForOneUser;
    std::vector<PlanFile> files, recordFiles;
    uint64_t bytes = 0;
    std::string uninstallKey;  // below HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER for one user
    std::vector<PlanValue> uninstallValues;
    bool desktopOption = false, menuOption = false;  // available on the options page
    std::vector<PlanShortcut> desktop, menu;
    std::vector<PlanRegistryValue> registry;
    std::vector<PlanLaunch> launches;
};

// install: the Install section's files (name, content); program: the
// program section's (name, size).
Plan MakePlan(const std::vector<std::pair<std::string, std::string>>& install,
              const std::vector<std::pair<std::string, uint32_t>>& program);

#endif
