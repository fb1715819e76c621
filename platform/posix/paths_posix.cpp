// Path text of the stand-in: the Unix and Windows forms of a path (with the
// drive letters a test mapped, its only state), the copies out that the
// Win32 calls make, and GetFullPathNameA. Calls only errors_posix.
#include "posix/paths_posix.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <mutex>
#include <unistd.h>
#include <vector>

#include "posix/errors_posix.h"

namespace {

// The Unix folders that drive letters stand for (PosixMapDrive).
struct Drives {
    std::mutex lock;
    std::string root[26];
};

Drives& Mapped() {
    static Drives drives;
    return drives;
}

}  // namespace

void PosixMapDrive(char letter, const char* root) {
    int i = toupper(static_cast<unsigned char>(letter)) - 'A';
    if (i < 0 || i >= 26)
        return;
    std::lock_guard<std::mutex> guard(Mapped().lock);
    Mapped().root[i] = root ? PosixUnixName(root) : "";
}

std::string PosixUnixPath(const char* path) {
    std::string s = path ? path : "";
    std::replace(s.begin(), s.end(), '\\', '/');
    if (s.size() >= 2 && s[1] == ':' && isalpha(static_cast<unsigned char>(s[0])) && (s.size() == 2 || s[2] == '/')) {
        std::lock_guard<std::mutex> guard(Mapped().lock);
        const std::string& root = Mapped().root[toupper(static_cast<unsigned char>(s[0])) - 'A'];
        if (!root.empty())
            s = root + (s.size() > 2 ? s.substr(2) : "/");
    }
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

DWORD GetFullPathNameA(LPCSTR name, DWORD size, LPSTR out, LPSTR* filePart) {
    std::string path = PosixWindowsPath(name ? name : "");
    if (path.empty()) {
        PosixFail(ERROR_INVALID_NAME);
        return 0;
    }
    bool rooted = path[0] == '\\' || (path.size() >= 2 && path[1] == ':');
    if (!rooted) {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) {
            PosixFail(ERROR_PATH_NOT_FOUND);
            return 0;
        }
        path = PosixWindowsPath(cwd) + "\\" + path;
    }
    // "." and ".." steps are taken, repeated backslashes fold into one.
    size_t root = path[0] == '\\' ? 1 : 3;
    std::vector<std::string> parts;
    size_t at = root;
    while (at <= path.size()) {
        size_t end = path.find('\\', at);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::string full = path.substr(0, root);
    for (size_t i = 0; i < parts.size(); ++i)
        full += (i ? "\\" : "") + parts[i];
    if (!path.empty() && path.back() == '\\' && !parts.empty())
        full += "\\";
    DWORD n = PosixCopyPath(full, out, size);
    if (filePart && n < size) {
        char* last = strrchr(out, '\\');
        *filePart = last && last[1] ? last + 1 : nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return n;
}
