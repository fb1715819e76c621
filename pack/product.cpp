// Walks a product folder. Only regular files are packed (a link is followed
// to its file); the installer cannot represent empty folders, so they are
// reported and left out.
#include "pack/product.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "base/format.h"

namespace fs = std::filesystem;

namespace {

bool Walk(const fs::path& root, int codePage, std::vector<SectionFile>* files, std::string* error) {
    std::error_code ec;
    if (!fs::exists(root, ec))
        return true;
    if (!fs::is_directory(root, ec)) {
        *error = root.string() + " is not a folder";
        return false;
    }
    for (fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink, ec), end;
         it != end; it.increment(ec)) {
        if (ec)
            break;
        const fs::path& p = it->path();
        if (!it->is_regular_file(ec))
            continue;
        std::string relative = fs::relative(p, root, ec).generic_u8string();
        std::string name;
        if (!ToCodePage(relative, codePage, &name)) {
            *error = "\"" + relative + "\" has a character outside code page " + std::to_string(codePage) +
                     " (name another with --codepage)";
            return false;
        }
        std::replace(name.begin(), name.end(), '/', '\\');
        if (name.size() > kMaxPath - 4) {
            *error = "\"" + relative + "\" is too long: a path in the package holds at most " +
                     std::to_string(kMaxPath - 4) + " characters";
            return false;
        }
        if (!IsSafeMemberPath(name.c_str(), name.size())) {
            *error = "\"" + relative + "\" cannot be a file name on Windows (reserved name, forbidden character, "
                     "or a name ending in a dot or a blank)";
            return false;
        }
        files->push_back(SectionFile{name, p.u8string(), {}});
    }
    if (ec) {
        *error = "cannot read " + root.string() + ": " + ec.message();
        return false;
    }
    std::sort(files->begin(), files->end(),
              [](const SectionFile& a, const SectionFile& b) { return a.name < b.name; });
    return true;
}

} // namespace

bool ReadProduct(const std::string& productDir, int codePage, std::vector<SectionFile> sections[3],
                 std::string* error) {
    std::error_code ec;
    if (!fs::is_directory(productDir, ec)) {
        *error = productDir + " is not a folder";
        return false;
    }
    static const char* const kFolders[3] = {"lang", "install", "program"};
    for (int s = 0; s < 3; ++s) {
        sections[s].clear();
        if (!Walk(fs::path(productDir) / kFolders[s], codePage, &sections[s], error))
            return false;
    }
    return true;
}
