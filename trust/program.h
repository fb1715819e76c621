// Which files the elevated programs start themselves: programs (.exe) only.
// Anything else would be opened through its handler, which the logged-on
// user's own class registrations may name; the installer and the
// uninstaller share this one rule.
#ifndef BRONDALE_TRUST_PROGRAM_H
#define BRONDALE_TRUST_PROGRAM_H

#include <cstring>

// True when path's name ends in ".exe" (any case) and has something before
// it.
inline bool IsProgramPath(const char* path) {
    const char* name = strrchr(path, '\\');
    name = name ? name + 1 : path;
    size_t n = strlen(name);
    if (n <= 4)
        return false;
    const char* ext = name + n - 4;
    return ext[0] == '.' && (ext[1] | 0x20) == 'e' && (ext[2] | 0x20) == 'x' && (ext[3] | 0x20) == 'e';
}

#endif
