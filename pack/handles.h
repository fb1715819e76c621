// Reading a product folder through handles the tool holds: the walk opens
// every file and folder as itself (never through a link it did not mean to
// follow), checks it on the handle, and lists and reads through that handle,
// so that renaming a folder or putting a link in its place after the check
// cannot change what is packed. Like platform, a file of two halves, POSIX
// and Windows, that behave the same.
#ifndef BRONDALE_PACK_HANDLES_H
#define BRONDALE_PACK_HANDLES_H

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// A file or folder held open; closed with its last copy.
struct HeldItem {
    intptr_t handle = -1;  // a descriptor; a HANDLE on Windows
    std::string path;      // UTF-8; on Windows the final path, which children are opened below
    bool folder = false;
    HeldItem() = default;
    HeldItem(const HeldItem&) = delete;
    HeldItem& operator=(const HeldItem&) = delete;
    ~HeldItem();
};
using Held = std::shared_ptr<const HeldItem>;

// What a name in a folder is, a link not followed.
enum class ItemKind { File, Folder, Link, Other, Missing };

// How a name is opened: as the file or folder it is (never through a link),
// or through the link it is, as what that leads to.
enum class OpenAs { File, Folder, ThroughLink };

// The outcome of opening a name: Opened, or why not. Link: a link where a
// file or folder was asked for; Loops: links leading round in a circle;
// NotPlain: neither a plain file nor a folder.
enum class OpenVerdict { Opened, Missing, Link, Loops, NotPlain, Failed };

// The folder named by path, links in the path followed (the vendor named
// it); null with *error when it is no folder that can be read. Raises the
// limit of files the tool may hold open to the most the system allows.
Held OpenProductFolder(const std::string& path, std::string* error);

// The names in folder with what each is, sorted by name; false with *error
// when the folder cannot be read.
bool ListFolder(const Held& folder, std::vector<std::pair<std::string, ItemKind>>* entries, std::string* error);

// What name in folder is, a link not followed.
ItemKind KindOf(const Held& folder, const std::string& name);

// Opens name in folder as asked, for reading; *item is a plain file or a
// folder when the verdict is Opened. Through a link, NotPlain may come with
// an *item that only tells where it lies (LiesInside). *why says what failed
// for Failed.
OpenVerdict OpenItem(const Held& folder, const std::string& name, OpenAs as, Held* item, std::string* why);

// The target the link name in folder names, as written; "" when unknown.
std::string LinkText(const Held& folder, const std::string& name);

// True when item (wherever it was reached from) lies in folder or below it.
bool LiesInside(const Held& item, const Held& folder);

// True when a and b are the same file or folder.
bool SameItem(const Held& a, const Held& b);

// Reads up to size bytes of item from byte at; *got is short only at the
// end. False on a read error.
bool ReadAt(const Held& item, uint64_t at, void* buffer, size_t size, size_t* got);

// The size of the file item; false when it cannot be told.
bool HeldSize(const Held& item, uint64_t* size);

#endif
