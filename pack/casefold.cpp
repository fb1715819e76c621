// Case folding by code point: names are converted from their code page to
// Unicode and each letter mapped to its capital, as Windows' upper-case table
// does for the letters the ANSI code pages hold.
#include "pack/casefold.h"

#include <map>

#include "pack/platform.h"

unsigned UpperCodePoint(unsigned c) {
    if (c >= 'a' && c <= 'z')
        return c - 0x20;
    if (c < 0xE0)
        return c;
    if (c <= 0xFE)
        return c == 0xF7 ? c : c - 0x20;  // Latin-1 letters, not the division sign
    if (c == 0xFF)
        return 0x178;
    // Latin Extended-A: capitals and small letters in pairs.
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return c & 1 ? c - 1 : c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return c & 1 ? c : c - 1;
    if (c == 0x192 || c == 0x1A1 || c == 0x1B0)  // f with hook; o and u with horn
        return c == 0x1B0 ? 0x1AF : c - 1;
    // Greek.
    if (c == 0x3AC)
        return 0x386;
    if (c >= 0x3AD && c <= 0x3AF)
        return c - 0x25;
    if (c == 0x3C2)
        return 0x3A3;
    if (c >= 0x3B1 && c <= 0x3CB)
        return c - 0x20;
    if (c == 0x3CC)
        return 0x38C;
    if (c == 0x3CD || c == 0x3CE)
        return c - 0x3F;
    // Cyrillic.
    if (c >= 0x430 && c <= 0x44F)
        return c - 0x20;
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    if (c == 0x491)
        return 0x490;
    return c;
}

namespace {

void PutUtf8(unsigned c, std::string* out) {
    if (c < 0x80) {
        *out += static_cast<char>(c);
    } else if (c < 0x800) {
        *out += static_cast<char>(0xC0 | c >> 6);
        *out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out += static_cast<char>(0xE0 | c >> 12);
        *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string FoldedName(const std::string& name, int codePage) {
    std::string utf8, out;
    if (!FromCodePage(name, codePage, &utf8)) {
        // A byte the code page does not define: ASCII letters still fold.
        for (char c : name)
            out += c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c;
        return out;
    }
    for (size_t i = 0; i < utf8.size();) {
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        if (i + n > utf8.size())
            n = utf8.size() - i;
        unsigned c = n == 1 ? b : b & (0x7F >> n);
        for (size_t k = 1; k < n; ++k)
            c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        if (n == 4)
            out.append(utf8, i, n);  // outside the code pages' letters
        else
            PutUtf8(UpperCodePoint(c), &out);
        i += n;
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> CaseClashes(const std::vector<std::string>& names, int codePage) {
    std::vector<std::pair<std::string, std::string>> clashes;
    std::map<std::string, size_t> files, folders;  // folded path -> first name
    std::vector<std::string> folded;
    for (size_t i = 0; i < names.size(); ++i) {
        folded.push_back(FoldedName(names[i], codePage));
        auto file = files.emplace(folded[i], i);
        if (!file.second)
            clashes.push_back({names[file.first->second], names[i]});
        for (size_t at = folded[i].find('\\'); at != std::string::npos; at = folded[i].find('\\', at + 1))
            folders.emplace(folded[i].substr(0, at), i);
    }
    for (size_t i = 0; i < names.size(); ++i) {
        auto folder = folders.find(folded[i]);
        if (folder != folders.end() && files[folded[i]] == i)
            clashes.push_back(i < folder->second ? std::make_pair(names[i], names[folder->second])
                                                 : std::make_pair(names[folder->second], names[i]));
    }
    return clashes;
}
