// Everything the packing tool does differently on Windows and elsewhere:
// opening files named in UTF-8, positions past 2 GiB, code-page names, the
// command line, its own path and whether a stream is a terminal; handles (its
// twin) reads a product folder through held handles. No other file of the
// tool tests the platform.
#ifndef BRONDALE_PACK_PLATFORM_H
#define BRONDALE_PACK_PLATFORM_H

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// Opens the file named by a UTF-8 path for binary reading or writing (the
// latter truncates); null when it cannot be opened.
FILE* OpenInput(const std::string& path);
FILE* OpenOutput(const std::string& path);

// Moves f to byte at from the start; false when the seek fails. The 32-bit
// Windows tool reads and writes installers larger than its long.
bool SeekTo(FILE* f, uint64_t at);
// The size of f; leaves f at its end.
uint64_t FileSize(FILE* f);

// Converts a UTF-8 name to the ANSI code page; false when a character has no
// place in it.
bool ToCodePage(const std::string& utf8, int codePage, std::string* out);
// And back, for names read from a package.
bool FromCodePage(const std::string& ansi, int codePage, std::string* utf8);

// The command line in UTF-8, the encoding every path here is taken in. On
// Windows argv holds the ANSI code page, which cannot name every file: the
// wide command line is converted instead.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// The running program's own file; empty when the system cannot say.
std::filesystem::path ExecutablePath();

// True when f is a terminal (a console window on Windows; the NUL device
// and pipes are not).
bool IsTerminal(FILE* f);

// path quoted for the shell that RunShell uses: '...' for /bin/sh, "..."
// for cmd.exe.
std::string ShellQuoted(const std::string& path);

// Runs command (UTF-8) through the system's shell (/bin/sh -c, cmd.exe /c)
// and waits for it; returns its exit code, -1 when it could not be run or
// did not end normally.
int RunShell(const std::string& command);

#endif
