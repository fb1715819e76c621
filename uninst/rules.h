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

// True when relative names a file below the destination folder: not empty,
// no drive or stream colon, no leading backslash or slash, no "." or ".."
// component, no forward slash, no empty component and no control character.
bool StaysInside(const std::string& relative);

// True when path names a shortcut file: its name ends in ".lnk" (any case)
// and has something before it.
bool IsShortcutFile(const std::string& path);

// True when path lies strictly below folder (compared without regard to
// case; folder given without a trailing backslash).
bool IsBelow(const std::string& path, const std::string& folder);

// Roots of the record's registry paths, in the installer's order.
enum RegistryRoot { kCurrentUser, kLocalMachine, kClassesRoot, kUsers, kNoRoot };
// Splits "HKEY_...\subkey" into its root and subkey. kNoRoot when the path
// does not start with one of the four root names and a backslash, or the
// subkey is empty.
RegistryRoot SplitRegistryPath(const std::string& path, std::string* subkey);

// The product's own key of [reg] 1: true when key is the Uninstall key path
// followed by a non-empty product name; *product gets the last component.
bool IsProductUninstallKey(const std::string& key, std::string* product);

#endif
