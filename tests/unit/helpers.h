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

#endif
