// Shared helpers of the unit tests: scratch folders, whole-file access through
// the same Win32 calls the installer makes, and packages built by the writer.
#ifndef BRONDALE_TESTS_HELPERS_H
#define BRONDALE_TESTS_HELPERS_H

#include <string>
#include <vector>

#include "pack/writer.h"

using Bytes = std::vector<unsigned char>;

// A fresh, empty folder below the system temporary folder, removed again when
// the test ends.
std::string NewFolder(const char* label);

bool WriteBytes(const std::string& path, const Bytes& data);
bool ReadBytes(const std::string& path, Bytes* data);
bool Exists(const std::string& path);
bool IsFolder(const std::string& path);
// Every file below folder as "relative\path" names, sorted.
std::vector<std::string> ListTree(const std::string& folder);

Bytes FromText(const std::string& text);
// Deterministic pseudo-random bytes.
Bytes Noise(size_t size, unsigned seed);

// One section built by the writer (fails the test on a writer error).
Bytes Section(const std::vector<SectionFile>& files, bool scrambled = false);
// A whole installer file: a small program padded to the package start, the
// signature, then the given section bytes.
Bytes Installer(const Bytes& sections);

#ifndef _WIN32
// A symbolic link at path to target (both with backslashes), made the POSIX
// way: the stand-in's picture of a junction or NT link. False on failure.
bool MakeLink(const std::string& target, const std::string& path);
#endif

// The access list of a folder as this build can read it: under Wine the
// DACL's text, which Wine derives from the mode bits and the descriptor the
// folder was made with (not the entries asked for); natively the descriptor
// text that the stand-in kept ("" for a folder made without one).
std::string FolderAccess(const std::string& folder);
// True when such a text grants Everyone anything: what Wine shows for a
// folder made the default way, and never for one made with a list that
// leaves Everyone out.
bool GrantsEveryone(const std::string& access);

// Opens path for reading; the caller closes it.
void* OpenForReading(const std::string& path);

// A file as the installer would find it again: bytes, attributes and the
// time of its last write (attributes INVALID_FILE_ATTRIBUTES: no file).
struct FileState {
    Bytes bytes;
    unsigned long attributes = 0xFFFFFFFFul;
    unsigned long long written = 0;
    bool operator==(const FileState& o) const {
        return bytes == o.bytes && attributes == o.attributes && written == o.written;
    }
};
FileState StateOf(const std::string& path);
// Dates a file back by a day, so that a copy made now would show.
void MakeOld(const std::string& path);
// The kept copies (package/record.h) below folder, as ListTree names them.
std::vector<std::string> KeptNames(const std::string& folder);

// A REG_SZ value of a key below HKEY_LOCAL_MACHINE (made when missing); a
// null text deletes the value.
void SetMachineText(const std::string& key, const char* name, const char* text);

// The program section of a named product: an Install folder whose init.cfg
// names product, set as scratch key 9, and the program-section flag on.
// Returns the product's Uninstall key; EndProduct puts both back and
// removes the key's list digest.
std::string BeginProduct(const std::string& product);
void EndProduct(const std::string& key);
// The FileListDigest value of key below HKEY_LOCAL_MACHINE set to text;
// removed (with the key) when text is null.
void SetListDigest(const std::string& key, const char* text);
// The same for any REG_SZ value name; with a null text the whole key goes.
void SetMachineValue(const std::string& key, const char* name, const char* text);
// An earlier installation's uninstall record naming key, and its file list
// with a line per file and the list's digest stored under key: the files
// (relative path to bytes) to add to a target as UnInstall\UnInst.cfg and
// UnInstall\Files.lst.
std::vector<std::pair<std::string, Bytes>> SealedRecord(const std::string& key, const std::string& list);
// One file-list line: size, CRC-32 and path, as the installer writes it.
std::string ListLine(const std::string& relative, const Bytes& bytes);

#endif
