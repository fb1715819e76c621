// Finding the tool's companion programs. Only regular files count, so a
// folder or a dangling link of that name is passed over. The Windows build
// folder is searched only by the tool that still stands in the build folder
// it was built in: an installed copy never looks back into a build tree.
#include "pack/cli/companions.h"

#include <filesystem>

#include "pack/platform.h"

namespace fs = std::filesystem;

std::string ToolFolder(const char* argv0) {
    std::error_code ec;
    fs::path self = ExecutablePath();
    if (self.empty())
        self = fs::absolute(fs::u8path(argv0), ec);
    return self.parent_path().u8string();
}

std::vector<std::string> CompanionFolders(const std::string& toolFolder) {
    fs::path tool = fs::u8path(toolFolder);
    std::vector<std::string> folders = {tool.u8string(), (tool.parent_path() / "share" / "brondale").u8string()};
#if defined(BRONDALE_BUILD_TREE) && defined(BRONDALE_WINDOWS_TREE)
    std::error_code ec;
    if (fs::equivalent(tool, fs::u8path(BRONDALE_BUILD_TREE), ec) && *BRONDALE_WINDOWS_TREE)
        folders.push_back(fs::u8path(BRONDALE_WINDOWS_TREE).u8string());
#endif
    return folders;
}

std::string FindCompanion(const std::string& toolFolder, const std::string& name) {
    for (const std::string& folder : CompanionFolders(toolFolder)) {
        fs::path candidate = fs::u8path(folder) / fs::u8path(name);
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec))
            return candidate.u8string();
    }
    return "";
}
