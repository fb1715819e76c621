// What the fuzz targets share: a work folder of their own on a RAM disk when
// there is one, whole-file writes, folder listings, and a check that aborts
// (so libFuzzer saves the input) when a target's invariant breaks.
#ifndef BRONDALE_FUZZ_COMMON_H
#define BRONDALE_FUZZ_COMMON_H

#include <cstddef>
#include <string>
#include <vector>

// The target's own empty folder (Windows-style path, no trailing backslash),
// created on the first call and removed with its content at exit.
const std::string& WorkFolder();
// The same folder with forward slashes, for plain POSIX calls.
std::string Posix(const std::string& windowsPath);

// Writes data as the whole content of path (Windows-style); aborts on failure.
void WriteWhole(const std::string& path, const unsigned char* data, size_t size);
// Deletes everything inside folder (Windows-style path) and keeps folder.
// Plain POSIX, so paths of any depth go, also those the installer's own
// recursive delete passes over for their length.
void EmptyFolder(const std::string& folder);
// The work folder's setup.exe: 135300 zero bytes (written once), then data
// (replacing what the previous input put there). Returns its POSIX path.
std::string PaddedInstaller(const unsigned char* data, size_t size);
// Names in a folder (Windows-style path), without "." and "..", sorted.
std::vector<std::string> Names(const std::string& folder);
// Prints what went wrong and aborts.
[[noreturn]] void Broken(const char* what, const std::string& detail);
inline void Check(bool ok, const char* what, const std::string& detail = "") {
    if (!ok)
        Broken(what, detail);
}
// A piece of input as text: at most limit bytes, cut at the first zero.
std::string Text(const unsigned char* data, size_t size, size_t limit);

#endif
