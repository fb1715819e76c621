// Printing findings and names. Only what could steer a terminal is escaped:
// letters of any script, backslashes and blanks print as they are.
#include "pack/finding.h"

#include <cstdio>

#include "pack/platform.h"

size_t Utf8Length(const std::string& text, size_t i) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    if (b < 0x80)
        return 1;
    size_t n = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 0;
    unsigned char second = static_cast<unsigned char>(text[i + 1]);
    if ((b == 0xE0 && second < 0xA0) || (b == 0xED && second > 0x9F) || (b == 0xF0 && second < 0x90) ||
        (b == 0xF4 && second > 0x8F))
        return 0;
    return n;
}

namespace {

void Escape(unsigned char c, std::string* out) {
    static const char kHex[] = "0123456789abcdef";
    *out += "\\x";
    *out += kHex[c >> 4];
    *out += kHex[c & 15];
}

}  // namespace

std::string Printable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t n = Utf8Length(text, i);
        bool c1 = n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (n == 0 || c < 0x20 || c == 0x7F) {
            Escape(c, &out);
            ++i;
        } else if (c1) {
            Escape(c, &out);
            Escape(static_cast<unsigned char>(text[i + 1]), &out);
            i += 2;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

std::string FromPackage(const std::string& text, int codePage) {
    std::string utf8;
    if (FromCodePage(text, codePage, &utf8))
        return utf8;
    // Some byte has no character in the code page: the others still convert.
    std::string out;
    for (char c : text) {
        if (FromCodePage(std::string(1, c), codePage, &utf8))
            out += utf8;
        else
            out += c;
    }
    return out;
}

void FindingsFromPackage(std::vector<Finding>* findings, int codePage) {
    for (Finding& f : *findings) {
        f.where = FromPackage(f.where, codePage);
        f.message = FromPackage(f.message, codePage);
    }
}

FindingPlace PlaceOf(const Finding& finding) {
    FindingPlace place;
    const std::string& w = finding.where;
    // Configuration and language files name a section and key after the
    // file: "init.cfg [Run] 3", "lang/English.lng [lng] 7".
    size_t at = std::string::npos;
    if (w.compare(0, 8, "program/") != 0) {
        for (const char* end : {".cfg [", ".lng ["}) {
            size_t found = w.find(end);
            if (found != std::string::npos && found < at)
                at = found;
        }
    }
    place.file = w;
    if (at != std::string::npos) {
        place.file = w.substr(0, at + 4);
        size_t close = w.find(']', at + 6);
        place.section = w.substr(at + 6, close == std::string::npos ? std::string::npos : close - at - 6);
        if (close != std::string::npos && close + 2 <= w.size())
            place.key = w.substr(close + 2);
    }
    if (place.file.find('/') == std::string::npos)
        place.file = "install/" + place.file;
    return place;
}

int CountErrors(const std::vector<Finding>& findings) {
    int errors = 0;
    for (const Finding& f : findings)
        errors += f.error;
    return errors;
}

int PrintFindings(const std::vector<Finding>& findings) {
    for (const Finding& f : findings) {
        std::string where = f.line ? f.where + ":" + std::to_string(f.line) : f.where;
        fprintf(stderr, "%s: %s: %s\n", f.error ? "error" : "warning", Printable(where).c_str(),
                Printable(f.message).c_str());
    }
    fflush(stderr);
    return CountErrors(findings);
}
