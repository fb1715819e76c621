// Reading an installer file the way the installer does, for the packing
// tool's list, verify, extract and plan: find the signature, then check every
// section (magic, offsets, path list and path safety, each member's stream,
// its CRC-32 and length, the stored checksum).
#ifndef BRONDALE_PACK_INSPECT_H
#define BRONDALE_PACK_INSPECT_H

#include <cstdint>
#include <string>
#include <vector>

struct MemberInfo {
    std::string name;  // the path-list line; "" for the path list itself
    uint32_t compressed = 0;
    uint32_t size = 0;  // ISIZE
    uint32_t crc = 0;   // the gzip trailer's CRC-32
};

struct SectionReport {
    bool ok = false;
    std::string error;  // names the member where there is one
    uint64_t start = 0, length = 0;
    uint32_t storedChecksum = 0, checksum = 0;
    std::vector<MemberInfo> members;  // path list first
};

struct PackageReport {
    bool found = false;
    uint64_t fileSize = 0, signatureAt = 0;
    SectionReport sections[3];
    uint64_t trailing = 0;  // bytes after the program section (a signature, say)
    bool ok() const { return found && sections[0].ok && sections[1].ok && sections[2].ok; }
};

extern const char* const kSectionNames[3];    // "Lang", "Install", "program"
extern const char* const kSectionFolders[3];  // "lang", "install", "program"

// Receives the members' contents (descrambled) while a package is read.
class MemberSink {
public:
    virtual ~MemberSink() = default;
    virtual bool Begin(int section, const std::string& name, std::string* error) = 0;
    virtual bool Data(const unsigned char* data, size_t size, std::string* error) = 0;
    virtual bool End(std::string* error) = 0;
};

// Reads the installer file at path. Returns false only when the file cannot
// be read at all (error says why); damage is in the report. With a sink,
// the files of sections that are sound so far are delivered to it; a section
// found damaged stops the reading there.
bool InspectPackage(const std::string& path, PackageReport* report, std::string* error, MemberSink* sink = nullptr);

#endif
