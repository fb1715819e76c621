// Walks a product folder through held handles: every folder is listed
// through its own handle and every file opened, as itself, during the walk,
// relative to the folder that holds it, and later read through that handle
// only, so that a folder swapped for a link after the walk cannot make the
// tool pack a file from elsewhere. A link is never taken for what it names:
// it is opened through, and what that handle reaches counts as inside the
// product folder only where the system says the handle now lies; one that
// resolves inside is packed as the file (or folder) it points to, under the
// link's own name, with a note; one that leaves the folder, leads nowhere or
// loops is an error naming the link and its target.
#include "pack/product.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/format.h"
#include "pack/casefold.h"
#include "pack/handles.h"

namespace {

// One section's walk: where its files go and where findings are named.
struct Walk {
    Held root;  // the product folder
    std::string label;  // "program"
    int codePage = 1250;
    std::vector<SectionFile>* files = nullptr;
    std::vector<Finding>* findings = nullptr;
    std::vector<Held> open;  // folders being walked, for loops
};

void Note(Walk* w, bool error, const std::string& relative, const std::string& message) {
    w->findings->push_back({error, w->label + "/" + relative, message});
}

// Adds the file held as file under relative (UTF-8, forward slashes) when
// the installer can write it back under that name.
void AddFile(Walk* w, const Held& file, const std::string& relative) {
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
    w->files->push_back(SectionFile{name, file->path, {}, file});
}

void WalkFolder(Walk* w, const Held& folder, const std::string& relative);

// The link name in folder (relative below the section): followed when what
// it reaches lies inside the product folder, an error otherwise.
void FollowLink(Walk* w, const Held& folder, const std::string& name, const std::string& relative) {
    std::string target = LinkText(folder, name), why;
    target = target.empty() ? "a link" : "a link to " + target;
    Held item;
    OpenVerdict verdict = OpenItem(folder, name, OpenAs::ThroughLink, &item, &why);
    if (verdict == OpenVerdict::Missing)
        return Note(w, true, relative, target + ", which does not exist: left out");
    if (verdict == OpenVerdict::Loops)
        return Note(w, true, relative, target + ", which leads round in a circle: left out");
    if (!item)
        return Note(w, true, relative, target + ", which cannot be read: " + why);
    if (!LiesInside(item, w->root))
        return Note(w, true, relative, target + ", outside the product folder: pack the file itself");
    if (verdict != OpenVerdict::Opened)
        return Note(w, false, relative, target + ", which is not a file: left out");
    if (item->folder) {
        if (std::any_of(w->open.begin(), w->open.end(), [&](const Held& f) { return SameItem(f, item); }))
            return Note(w, true, relative, target + ", a folder that holds the link: it never ends");
        Note(w, false, relative, target + ": its folder is packed under the link's name");
        WalkFolder(w, item, relative);
    } else {
        Note(w, false, relative, target + ": the file it points to is packed under the link's name");
        AddFile(w, item, relative);
    }
}

// The entry name of folder, of the kind the listing saw: opened as itself
// and added, walked or followed.
void TakeEntry(Walk* w, const Held& folder, const std::string& name, ItemKind kind, const std::string& relative) {
    if (kind == ItemKind::Link)
        return FollowLink(w, folder, name, relative);
    if (kind != ItemKind::File && kind != ItemKind::Folder)
        return Note(w, false, relative, "neither a file nor a folder: left out");
    Held item;
    std::string why;
    switch (OpenItem(folder, name, kind == ItemKind::Folder ? OpenAs::Folder : OpenAs::File, &item, &why)) {
    case OpenVerdict::Opened:
        return item->folder ? WalkFolder(w, item, relative) : AddFile(w, item, relative);
    case OpenVerdict::Link:  // made a link since it was listed, or listed as a file by Wine
        return FollowLink(w, folder, name, relative);
    case OpenVerdict::Missing:
        return Note(w, true, relative, "disappeared while the folder was read: left out (pack again)");
    case OpenVerdict::NotPlain:
        return Note(w, true, relative, "changed what it is while the folder was read: left out (pack again)");
    default:
        return Note(w, true, relative, "cannot be read: " + why);
    }
}

void WalkFolder(Walk* w, const Held& folder, const std::string& relative) {
    w->open.push_back(folder);
    std::vector<std::pair<std::string, ItemKind>> entries;
    std::string why;
    if (!ListFolder(folder, &entries, &why))
        Note(w, true, relative.empty() ? "" : relative + "/", "cannot be read: " + why);
    else if (entries.empty() && !relative.empty())
        Note(w, false, relative + "/", "an empty folder: the installer makes only folders that hold files");
    for (const auto& e : entries)
        TakeEntry(w, folder, e.first, e.second, relative.empty() ? e.first : relative + "/" + e.first);
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
    Held root = OpenProductFolder(productDir, error);
    if (!root)
        return false;
    static const char* const kFolders[3] = {"lang", "install", "program"};
    static const char* const kMissing[3] = {nullptr,
                                            "missing: the installer has no product name, licence or configuration",
                                            "missing: the installer installs no files"};
    for (int s = 0; s < 3; ++s) {
        sections[s].clear();
        Walk w;
        w.root = root;
        w.label = kFolders[s];
        w.codePage = codePage;
        w.files = &sections[s];
        w.findings = findings;
        ItemKind kind = KindOf(root, kFolders[s]);
        if (kind == ItemKind::Missing) {
            if (kMissing[s])
                findings->push_back({false, w.label + "/", kMissing[s]});
            continue;
        }
        Held folder;
        std::string why;
        OpenAs as = kind == ItemKind::Link ? OpenAs::ThroughLink : OpenAs::Folder;
        if (OpenItem(root, kFolders[s], as, &folder, &why) != OpenVerdict::Opened || !folder->folder ||
            !LiesInside(folder, root)) {
            findings->push_back({true, w.label + "/",
                                 "not a folder inside the product (a file, or a link "
                                 "that leads elsewhere)"});
            continue;
        }
        WalkFolder(&w, folder, "");
        std::sort(sections[s].begin(), sections[s].end(),
                  [](const SectionFile& a, const SectionFile& b) { return a.name < b.name; });
        RefuseCaseClashes(&w);
        if (s == 2 && sections[s].empty())
            findings->push_back({false, "program/", "no files: the installer installs nothing"});
    }
    return true;
}

std::string FileContent(const SectionFile& f) {
    if (f.held) {
        uint64_t size = 0;
        size_t got = 0;
        std::string bytes;
        if (!HeldSize(f.held, &size) || size > bytes.max_size())
            return "";
        bytes.resize(static_cast<size_t>(size));
        if (!ReadAt(f.held, 0, &bytes[0], bytes.size(), &got))
            return "";
        bytes.resize(got);
        return bytes;
    }
    if (f.source.empty())
        return std::string(f.bytes.begin(), f.bytes.end());
    std::ifstream in(std::filesystem::u8path(f.source), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
