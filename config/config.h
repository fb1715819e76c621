// The package configuration: init.cfg, lnk.cfg and reg.cfg in the Install
// folder (scratch key 9). Every value is read afresh through GetFromCfg; the
// few direct reads and writes build their paths with CfgPath.
#ifndef BRONDALE_CONFIG_CONFIG_H
#define BRONDALE_CONFIG_CONFIG_H

#include <cstddef>

// File numbers.
const short kInitCfg = 0;
const short kLnkCfg = 1;
const short kRegCfg = 2;

// Section numbers, in the order of the section table.
enum CfgSection : short {
    kSecCfg = 0,
    kSecIndex = 1,
    kSecRun = 2,
    kSecIndex1 = 3,
    kSecIndex2 = 4,
    kSecDesktop = 5,
    kSecMenu = 6,
    kSecKey = 7,
    kSecName = 8,
    kSecValue = 9,
    kSecType = 10,
    kSecSilent = 11,
    kSecRunU = 12,
    kSecDynam = 13,
    // init.cfg only: the product's identity, under the keys below. Every
    // key is optional; the Uninstall key gets a value for each one given.
    kSecProduct = 14,
};
const char kProductVersion[] = "Version";
const char kProductPublisher[] = "Publisher";
const char kProductUrl[] = "URL";
// The copyright line of the installer's version resource (LegalCopyright).
const char kProductCopyright[] = "Copyright";
// The product's main program, a path inside the product: its icon is the one
// Programs and Features shows (DisplayIcon).
const char kProductProgram[] = "Program";
// Whom the product installs for: "machine" (every user; the default),
// "user" (the user who runs it) or "choose" (either, config/scope.h).
const char kProductScope[] = "Scope";

// Size a caller reserves for any value; a quoted [value] entry needs two more.
const unsigned kCfgValueSize = 260;
const unsigned kCfgQuotedSize = 262;

// Reads key of the given section and file into dest: at most 259 characters
// and the terminator, 261 for a [value] entry that [line] marks for quotes
// (the text is then enclosed in double quotation marks). A missing file,
// section or key, or a number outside the tables, gives "".
void GetFromCfg(const char* key, char* dest, short section, short file);

// Install folder plus the file's name ("\init.cfg", ...) into a 260-byte
// buffer; false (and "") for a file number outside the table.
bool CfgPath(short file, char* path);

// The list convention: the count key "max" of an index section holds one
// more than the number of entries. Returns that count key as a decimal
// integer: 0 (or anything below 1) means no list, 1 an empty one. A count
// key above kMaxListEnd reads as kMaxListEnd, so that no list can keep the
// installer reading for hours.
int CfgListEnd(short indexSection, short file);
const int kMaxListEnd = 10001;

// The product's Uninstall key path (below the root of its scope) for the product
// name into key (size bytes); "" when the name is empty.
void ProductKeyFor(const char* name, char* key, size_t size);
// The same for init.cfg's product name.
void ProductKeyPath(char* key, size_t size);

#endif
