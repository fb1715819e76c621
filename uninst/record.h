// What the uninstaller reads: the uninstall record UnInst.cfg (written by
// the installer's finish sequence) and the list of installed files beside it.
#ifndef BRONDALE_UNINST_RECORD_H
#define BRONDALE_UNINST_RECORD_H

#include <string>
#include <vector>

#include "uninst/rules.h"

// One [reg] entry from 2 on, with its [sub] value name.
struct RecordedValue {
    std::string key;   // as recorded, root name included
    std::string name;  // empty for the key's default value
    bool named = false;  // false when [sub] has no entry for it
};

struct UninstallRecord {
    std::string productKey;             // [reg] 1, under HKEY_LOCAL_MACHINE
    std::vector<std::string> shortcuts;  // [lnk] 1..max
    std::vector<RecordedValue> values;   // [reg] 2..max
    std::vector<std::string> runFirst;   // [RunU], in order, relative paths
};

// Reads the record at path; false when the file does not exist.
bool ReadRecord(const std::string& path, UninstallRecord* record);

// True when the record and the file list are byte for byte those the
// installer sealed for this uninstaller: the product's Uninstall key ([reg]
// 1, under HKEY_LOCAL_MACHINE, where only administrators write) registers
// this very program as its UninstallString, and the seal digest of each
// file for that key's name (trust/digest.h) equals the value stored there.
// A missing value, key or file is false.
bool RecordIsSealed(const UninstallRecord& record, const std::string& recordPath, const std::string& listPath);

// Reads the list of installed files; lines that do not parse are skipped.
// An absent list gives no files.
std::vector<ListedFile> ReadFileList(const std::string& path);

#endif
