// Walks a product folder. A link is never taken for what it names: one that
// resolves inside the product folder is packed as the file (or folder) it
// points to, under the link's own name, with a note; one that leaves the
// folder, leads nowhere or loops is an error naming the link and its target.
#include "pack/product.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/format.h"
#include "pack/casefold.h"

namespace fs = std::filesystem;

namespace {

// One section's walk: where its files go and where findings are named.
struct Walk {
    fs::path productRoot;  // canonical
    std::string label;     // "program"
    int codePage = 1250;
    std::vector<SectionFile>* files = nullptr;
    std::vector<Finding>* findings = nullptr;
    std::vector<fs::path> open;  // canonical folders being walked, for loops
};

void Note(Walk* w, bool error, const std::string& relative, const std::string& message) {
    w->findings->push_back({error, w->label + "/" + relative, message});
}

bool Inside(const fs::path& path, const fs::path& root) {
    auto r = root.begin(), p = path.begin();
    for (; r != root.end(); ++r, ++p)
        if (p == path.end() || *p != *r)
            return false;
    return true;
}

// Adds the file at source under relative (UTF-8, forward slashes) when the
// installer can write it back under that name.
void AddFile(Walk* w, const fs::path& source, const std::string& relative) {
    std::string name;
    if (!ToCodePage(relative, w->codePage, &name)) {
        Note(w, true, relative,
             "a character outside code page " + std::to_string(w->codePage) + " (name another with --codepage)");
        return;
    }
    std::replace(name.begin(), name.end(), '/', '\\');
    if (name.size() > kMaxPath - 4) {
        Note(w, true, relative,
             "too long: a path in the package holds at most " + std::to_string(kMaxPath - 4) + " characters");
        return;
    }
    if (!IsSafeMemberPath(name.c_str(), name.size())) {
        Note(w, true, relative,
             "cannot be a file name on Windows (reserved name, forbidden character, or a name "
             "ending in a dot or a blank)");
        return;
    }
    w->files->push_back(SectionFile{name, source.u8string(), {}});
}

void WalkFolder(Walk* w, const fs::path& folder, const std::string& relative);

// A link at path (relative below the section): followed when it resolves
// inside the product folder, an error otherwise.
void FollowLink(Walk* w, const fs::path& path, const std::string& relative) {
    std::error_code ec;
    std::string target = fs::read_symlink(path, ec).u8string();
    fs::path resolved = fs::canonical(path, ec);
    if (ec) {
        Note(w, true, relative, "a link to " + target + ", which does not exist: left out");
        return;
    }
    if (!Inside(resolved, w->productRoot)) {
        Note(w, true, relative, "a link to " + target + ", outside the product folder: pack the file itself");
        return;
    }
    if (fs::is_directory(resolved, ec)) {
        if (std::find(w->open.begin(), w->open.end(), resolved) != w->open.end()) {
            Note(w, true, relative, "a link to " + target + ", a folder that holds the link: it never ends");
            return;
        }
        Note(w, false, relative, "a link to " + target + ": its folder is packed under the link's name");
        WalkFolder(w, resolved, relative);
    } else if (fs::is_regular_file(resolved, ec)) {
        Note(w, false, relative, "a link to " + target + ": the file it points to is packed under the link's name");
        AddFile(w, resolved, relative);
    } else {
        Note(w, false, relative, "a link to " + target + ", which is not a file: left out");
    }
}

void WalkFolder(Walk* w, const fs::path& folder, const std::string& relative) {
    std::error_code ec;
    w->open.push_back(fs::canonical(folder, ec));
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(*it);
    if (ec)
        Note(w, true, relative.empty() ? "" : relative + "/", "cannot be read: " + ec.message());
    else if (entries.empty() && !relative.empty())
        Note(w, false, relative + "/", "an empty folder: the installer makes only folders that hold files");
    for (const fs::directory_entry& e : entries) {
        std::string name = e.path().filename().u8string();
        std::string path = relative.empty() ? name : relative + "/" + name;
        if (e.is_symlink(ec))
            FollowLink(w, e.path(), path);
        else if (e.is_directory(ec))
            WalkFolder(w, e.path(), path);
        else if (e.is_regular_file(ec))
            AddFile(w, e.path(), path);
        else
            Note(w, false, path, "neither a file nor a folder: left out");
    }
    w->open.pop_back();
}

// A name of the section as found in the folder (UTF-8, forward slashes).
std::string FolderName(const Walk& w, const std::string& name) {
    std::string utf8;
    if (!FromCodePage(name, w.codePage, &utf8))
        utf8 = name;
    std::replace(utf8.begin(), utf8.end(), '\\', '/');
    return utf8;
}

// Errors for names Windows would take for one, each pair named; the later
// name is left out of the section.
void RefuseCaseClashes(Walk* w) {
    std::vector<std::string> names;
    for (const SectionFile& f : *w->files)
        names.push_back(f.name);
    std::set<std::string> dropped;
    for (const auto& clash : CaseClashes(names, w->codePage)) {
        Note(w, true, FolderName(*w, clash.second),
             "one file on Windows with " + w->label + "/" + FolderName(*w, clash.first) +
                 ": the names differ only in case; rename one");
        dropped.insert(clash.second);
    }
    w->files->erase(std::remove_if(w->files->begin(), w->files->end(),
                                   [&](const SectionFile& f) { return dropped.count(f.name) != 0; }),
                    w->files->end());
}

}  // namespace

bool ReadProduct(const std::string& productDir, int codePage, std::vector<SectionFile> sections[3],
                 std::vector<Finding>* findings, std::string* error) {
    std::error_code ec;
    fs::path root = fs::canonical(fs::u8path(productDir), ec);
    if (ec || !fs::is_directory(root, ec)) {
        *error = productDir + " is not a folder";
        return false;
    }
    static const char* const kFolders[3] = {"lang", "install", "program"};
    static const char* const kMissing[3] = {nullptr,
                                            "missing: the installer has no product name, licence or configuration",
                                            "missing: the installer installs no files"};
    for (int s = 0; s < 3; ++s) {
        sections[s].clear();
        Walk w;
        w.productRoot = root;
        w.label = kFolders[s];
        w.codePage = codePage;
        w.files = &sections[s];
        w.findings = findings;
        fs::path folder = root / kFolders[s];
        if (!fs::exists(fs::symlink_status(folder, ec))) {
            if (kMissing[s])
                findings->push_back({false, w.label + "/", kMissing[s]});
            continue;
        }
        fs::path real = fs::canonical(folder, ec);
        if (ec || !Inside(real, root) || !fs::is_directory(real, ec)) {
            findings->push_back({true, w.label + "/",
                                 "not a folder inside the product (a file, or a link "
                                 "that leads elsewhere)"});
            continue;
        }
        WalkFolder(&w, real, "");
        std::sort(sections[s].begin(), sections[s].end(),
                  [](const SectionFile& a, const SectionFile& b) { return a.name < b.name; });
        RefuseCaseClashes(&w);
        if (s == 2 && sections[s].empty())
            findings->push_back({false, "program/", "no files: the installer installs nothing"});
    }
    return true;
}

std::string FileContent(const SectionFile& f) {
    if (f.source.empty())
        return std::string(f.bytes.begin(), f.bytes.end());
    std::ifstream in(std::filesystem::u8path(f.source), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
