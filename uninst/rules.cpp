// The uninstaller's rules about what it may touch. A record or file list
// that someone has edited must not lead the uninstaller outside the product.
#include "uninst/rules.h"

#include "base/ascii.h"
#include "base/format.h"
#include "base/installed.h"

static_assert(kNoRoot == kNoRegistryRoot, "the record's roots are base/installed.h's, in its order");

namespace {

bool SameText(const std::string& a, size_t at, const std::string& b) {
    return a.size() >= at + b.size() && SameAscii(a.data() + at, b.size(), b.data(), b.size());
}

}  // namespace

bool ParseListLine(const std::string& line, ListedFile* file) {
    uint32_t size = 0, crc = 0;
    size_t at = 0;
    if (!ParseFileListLine(line.data(), line.size(), &size, &crc, &at))
        return false;
    file->size = size;
    file->crc = crc;
    file->path = line.substr(at);
    return true;
}

bool StaysInside(const std::string& relative) {
    // The package reader's rule: what it would refuse to write, nothing
    // here removes or starts.
    return relative.find('\0') == std::string::npos && IsSafeMemberPath(relative.data(), relative.size());
}

bool IsShortcutFile(const std::string& path) {
    size_t name = path.find_last_of('\\');
    name = name == std::string::npos ? 0 : name + 1;
    return path.size() > name + 4 && SameText(path, path.size() - 4, ".lnk");
}

bool IsBelow(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.size() > folder.size() + 1 && SameText(path, 0, folder) &&
           path[folder.size()] == '\\';
}

bool IsOwnShortcut(const std::string& path, const std::string& desktop, const std::string& menuFolder) {
    if (!IsShortcutFile(path))
        return false;
    const std::string* folders[] = {&desktop, &menuFolder};
    for (const std::string* folder : folders) {
        if (!IsBelow(path, *folder))
            continue;
        std::string rest = path.substr(folder->size() + 1);
        // The desktop takes the shortcut itself, no subfolder.
        if (folder == &desktop && rest.find('\\') != std::string::npos)
            continue;
        if (StaysInside(rest))
            return true;
    }
    return false;
}

RegistryRoot SplitRegistryPath(const std::string& path, std::string* subkey) {
    for (int r = 0; r < kNoRoot; ++r) {
        std::string name = std::string(kRegistryRoots[r]) + "\\";
        if (path.compare(0, name.size(), name) == 0 && path.size() > name.size()) {
            *subkey = path.substr(name.size());
            return static_cast<RegistryRoot>(r);
        }
    }
    return kNoRoot;
}

bool IsProductUninstallKey(const std::string& key, std::string* product, std::string* name) {
    std::string prefix = kUninstallKey;
    if (!SameText(key, 0, prefix) || key.size() == prefix.size())
        return false;
    // Registry paths know no "..": only an empty component could reach a
    // key above the product's.
    std::string rest = key.substr(prefix.size());
    if (rest[0] == '\\' || rest.back() == '\\' || rest.find("\\\\") != std::string::npos)
        return false;
    size_t last = rest.find_last_of('\\');
    *product = last == std::string::npos ? rest : rest.substr(last + 1);
    if (name)
        *name = rest;
    return true;
}
