// Where the packing tool finds the programs it packs (the installer
// program, the uninstaller, the placeholder of a new product): beside
// itself, as in a build folder, or in ../share/brondale, as installed; the
// native tool in its own build folder also in the Windows build folder
// that build was configured with.
#ifndef BRONDALE_PACK_CLI_COMPANIONS_H
#define BRONDALE_PACK_CLI_COMPANIONS_H

#include <string>
#include <vector>

// The folder the running tool lives in (argv0 when the system cannot say).
std::string ToolFolder(const char* argv0);

// The folders searched for companions of a tool in toolFolder, in order.
std::vector<std::string> CompanionFolders(const std::string& toolFolder);

// The first of CompanionFolders holding a file called name, as a path; ""
// when none does.
std::string FindCompanion(const std::string& toolFolder, const std::string& name);

#endif
