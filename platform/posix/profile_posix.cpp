// The private profile calls over INI text, as Wine reads and writes it:
// section and key names without case, values trimmed and unquoted, the first
// section and key of a name win; a write rewrites the file with CRLF ends.
#include "posix/win32_posix.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <strings.h>
#include <vector>

#include "posix/errors_posix.h"
#include "posix/paths_posix.h"

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

bool ReadLines(const char* file, std::vector<std::string>* lines) {
    FILE* f = fopen(PosixUnixPath(file).c_str(), "rb");
    if (!f)
        return false;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    fclose(f);
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos)
            nl = text.size();
        std::string line = text.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines->push_back(line);
        start = nl + 1;
    }
    return true;
}

bool IsSection(const std::string& line, std::string* name) {
    std::string t = Trim(line);
    if (t.empty() || t[0] != '[')
        return false;
    size_t close = t.find(']');
    *name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

bool IsKey(const std::string& line, std::string* key, std::string* value) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '[')
        return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) {
        *key = t;
        value->clear();
        return true;
    }
    *key = Trim(t.substr(0, eq));
    *value = Trim(t.substr(eq + 1));
    return true;
}

// Finds the first section and the first key in it; -1 where missing.
void Locate(const std::vector<std::string>& lines, const char* section, const char* key, long* sectionLine,
            long* keyLine, std::string* value) {
    *sectionLine = -1;
    *keyLine = -1;
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name, k, v;
        if (IsSection(lines[i], &name)) {
            if (inside)
                return;
            inside = SameName(name, section);
            if (inside)
                *sectionLine = static_cast<long>(i);
            continue;
        }
        if (inside && key && IsKey(lines[i], &k, &v) && SameName(k, key)) {
            *keyLine = static_cast<long>(i);
            *value = v;
            return;
        }
    }
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR out, DWORD size, LPCSTR file) {
    std::string fallback = Trim(def ? def : "");
    if (PosixInjectedFault() || !section || !key)
        return PosixCopyCut(fallback, out, size);
    std::vector<std::string> lines;
    if (!ReadLines(file, &lines)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return PosixCopyCut(fallback, out, size);
    }
    long sectionLine, keyLine;
    std::string value;
    Locate(lines, section, key, &sectionLine, &keyLine, &value);
    // A key without "=" has no value, and reads as missing (as in Wine).
    if (keyLine < 0 || lines[static_cast<size_t>(keyLine)].find('=') == std::string::npos)
        return PosixCopyCut(fallback, out, size);
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    SetLastError(ERROR_SUCCESS);
    return PosixCopyCut(value, out, size);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT def, LPCSTR file) {
    char buf[64];
    if (GetPrivateProfileStringA(section, key, "", buf, sizeof buf, file) == 0)
        return static_cast<UINT>(def);
    const char* p = buf;
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    uint32_t value = 0;
    while (*p >= '0' && *p <= '9')
        value = value * 10u + static_cast<uint32_t>(*p++ - '0');
    return negative ? 0u - value : value;
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
    if (PosixInjectedFault() || !section)
        return FALSE;
    std::vector<std::string> lines;
    ReadLines(file, &lines);
    long sectionLine, keyLine;
    std::string old;
    Locate(lines, section, key, &sectionLine, &keyLine, &old);
    if (!key) {
        if (sectionLine >= 0) {
            size_t end = static_cast<size_t>(sectionLine) + 1;
            std::string name;
            while (end < lines.size() && !IsSection(lines[end], &name))
                ++end;
            lines.erase(lines.begin() + sectionLine, lines.begin() + static_cast<long>(end));
        }
    } else if (!value) {
        if (keyLine >= 0)
            lines.erase(lines.begin() + keyLine);
    } else {
        std::string line = std::string(key) + "=" + value;
        if (keyLine >= 0) {
            lines[static_cast<size_t>(keyLine)] = line;
        } else if (sectionLine >= 0) {
            size_t at = static_cast<size_t>(sectionLine) + 1;
            std::string name;
            while (at < lines.size() && !IsSection(lines[at], &name))
                ++at;
            while (at > static_cast<size_t>(sectionLine) + 1 && Trim(lines[at - 1]).empty())
                --at;
            lines.insert(lines.begin() + static_cast<long>(at), line);
        } else {
            lines.push_back(std::string("[") + section + "]");
            lines.push_back(line);
        }
    }
    std::string path = PosixUnixPath(file);
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return PosixFail(PosixErrorFromErrno(errno, path));
    for (const std::string& l : lines)
        fprintf(f, "%s\r\n", l.c_str());
    bool ok = fclose(f) == 0;
    return ok ? TRUE : PosixFail(ERROR_WRITE_FAULT);
}
