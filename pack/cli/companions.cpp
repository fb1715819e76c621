// Finding the tool's companion programs. Only regular files count, so a
// folder or a dangling link of that name is passed over.
#include "pack/cli/companions.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

std::string ToolFolder(const char* argv0) {
    std::error_code ec;
    fs::path self;
#ifdef _WIN32
    wchar_t path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(sizeof path / sizeof path[0]));
    if (n > 0 && n < sizeof path / sizeof path[0])
        self = fs::path(std::wstring(path, n));
#else
    self = fs::canonical("/proc/self/exe", ec);
#endif
    if (self.empty() || ec)
        self = fs::absolute(fs::u8path(argv0), ec);
    return self.parent_path().u8string();
}

std::vector<std::string> CompanionFolders(const std::string& toolFolder) {
    fs::path tool = fs::u8path(toolFolder);
    return {tool.u8string(), (tool.parent_path() / "share" / "brondale").u8string()};
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
