// Path text of the stand-in: the Unix and Windows forms of a path, and the
// copies out that the Win32 calls make. No state, no file is touched here.
#include "posix/paths_posix.h"

#include <algorithm>
#include <cstring>

std::string PosixUnixPath(const char* path) {
    std::string s = path ? path : "";
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

std::string PosixUnixName(const char* path) {
    std::string s = PosixUnixPath(path);
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

std::string PosixWindowsPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

DWORD PosixCopyPath(const std::string& text, LPSTR out, DWORD size) {
    if (text.size() + 1 > size)
        return static_cast<DWORD>(text.size() + 1);
    memcpy(out, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

DWORD PosixCopyCut(const std::string& text, LPSTR out, DWORD size) {
    if (!out || size == 0)
        return 0;
    DWORD n = static_cast<DWORD>(std::min<size_t>(text.size(), size - 1));
    memcpy(out, text.data(), n);
    out[n] = '\0';
    return n;
}
