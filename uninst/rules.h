// The uninstaller's rules about what it may touch, as plain functions of
// text: which list entries stay inside the destination folder, which record
// entries are shortcuts, how a registry path splits into root and subkey.
// Nothing here calls the system, so both builds test it.
#ifndef BRONDALE_UNINST_RULES_H
#define BRONDALE_UNINST_RULES_H

#include <cstdint>
#include <string>

// One line of Files.lst: "size crc32hex relative\path".
struct ListedFile {
    uint32_t size = 0;
    uint32_t crc = 0;
    std::string path;
};

// Parses one line (without its line end). False for anything that is not
// a decimal size, one space, exactly eight hexadecimal digits, one space and
// a non-empty path.
bool ParseListLine(const std::string& line, ListedFile* file);

// True when relative names a file below the destination folder by the
// package reader's path rule (base/format.h): not empty, no drive or
// stream colon, no leading backslash, no "." or ".." component, no forward
// slash, no empty component, no control or forbidden character, no
// component ending in a dot or blank, no device name.
bool StaysInside(const std::string& relative);

// True when path names a shortcut file: its name ends in ".lnk" (any case)
// and has something before it.
bool IsShortcutFile(const std::string& path);

// True when path lies strictly below folder (compared without regard to
// case; folder given without a trailing backslash).
bool IsBelow(const std::string& path, const std::string& folder);

// True when path is one of the product's own shortcuts: a .lnk file directly
// in the common desktop folder, or below menuFolder (the product's folder of
// the common Start-menu programs) by a path that stays inside it. Folders
// are given without a trailing backslash; an empty one matches nothing.
bool IsOwnShortcut(const std::string& path, const std::string& desktop, const std::string& menuFolder);

// Roots of the record's registry paths, in the installer's order.
enum RegistryRoot { kCurrentUser, kLocalMachine, kClassesRoot, kUsers, kNoRoot };
// Splits "HKEY_...\subkey" into its root and subkey. kNoRoot when the path
// does not start with one of the four root names and a backslash, or the
// subkey is empty.
RegistryRoot SplitRegistryPath(const std::string& path, std::string* subkey);

// The product's own key of [reg] 1: true when key is the Uninstall key path
// followed by a non-empty product name; *product gets the last component,
// *name (when given) everything after the Uninstall key path.
bool IsProductUninstallKey(const std::string& key, std::string* product, std::string* name = nullptr);

#endif
