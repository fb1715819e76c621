// Letters without regard to case, the one way the programs here fold them:
// only the ASCII letters, whatever the locale or the code page, so that the
// packing tool, the installer and the uninstaller agree on which names match.
#ifndef BRONDALE_BASE_ASCII_H
#define BRONDALE_BASE_ASCII_H

#include <cstddef>
#include <string>

inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string LowerAscii(std::string s) {
    for (char& c : s)
        c = LowerAscii(c);
    return s;
}

// True when the n bytes at a and the m bytes at b are the same text but for
// the case of ASCII letters.
inline bool SameAscii(const char* a, size_t n, const char* b, size_t m) {
    if (n != m)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

#endif
