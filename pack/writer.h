// The package writer: builds sections and whole installer files in the format
// of base/format.h. Names handed to it are already in the package's ANSI
// code page, with backslashes between folders.
#ifndef BRONDALE_PACK_WRITER_H
#define BRONDALE_PACK_WRITER_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pack/stream/sectionfile.h"

struct PackOptions {
    int level = 9;         // zlib compression level
    unsigned threads = 0;  // 0: one per core
    // Called now and then with the bytes read so far and in all.
    std::function<void(uint64_t done, uint64_t total)> progress;
    // Called with the temporary file once it is complete, before it takes
    // the output's name (a signature goes on here); false, with a message
    // in *error, leaves no output.
    std::function<bool(const std::string& partial, std::string* error)> finish;
};

struct SectionInfo {
    uint32_t members = 0;  // path list included
    uint32_t checksum = 0;
    uint64_t plainBytes = 0;
};

// Appends one section to out. Returns false with a message in *error (and out
// unchanged) when the section cannot be read back by the installer or a
// file is 4 GiB or larger. Members are compressed in blocks in parallel; the
// output is the same whatever the number of threads.
bool BuildSection(const std::vector<SectionFile>& files, bool scrambled, const PackOptions& options,
                  std::vector<unsigned char>* out, std::string* error, SectionInfo* info = nullptr);
bool BuildSection(const std::vector<SectionFile>& files, bool scrambled, int level, std::vector<unsigned char>* out,
                  std::string* error, SectionInfo* info = nullptr);

// Compresses data as one gzip member with fixed header fields.
bool GzipMember(const unsigned char* data, size_t size, int level, std::vector<unsigned char>* out);

// Everything between the installer program and the end of the file: the
// program is padded to the package start, then the signature and the sections.
std::vector<unsigned char> PackagePrefix(const std::vector<unsigned char>& stub);

// Where the plain signature occurs in data at or after kPackageStart, or -1.
long long FindSignature(const std::vector<unsigned char>& data);

// Writes stub + signature + three sections to outPath as they are
// compressed, through a temporary file, so that a failure leaves no output
// file (and an older one as it was). Memory stays bounded whatever the
// product's size; files of 4 GiB or more are refused by name before anything
// is written.
bool WriteInstaller(const std::vector<unsigned char>& stub, const std::vector<SectionFile> sections[3],
                    const std::string& outPath, const PackOptions& options, std::string* error);
bool WriteInstaller(const std::vector<unsigned char>& stub, const std::vector<SectionFile> sections[3],
                    const std::string& outPath, int level, std::string* error);

// True when a Windows program carries an Authenticode signature (its
// security directory is not empty): appending a package would break it.
bool IsSignedProgram(const std::vector<unsigned char>& program);

#endif
