// Printing findings and names. Only the control characters are escaped:
// names in the code page, backslashes and blanks print as they are.
#include "pack/finding.h"

#include <cstdio>

std::string Printable(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                  static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else if (c1) {
            unsigned char next = static_cast<unsigned char>(text[++i]);
            out += "\\xc2\\x";
            out += kHex[next >> 4];
            out += kHex[next & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int CountErrors(const std::vector<Finding>& findings) {
    int errors = 0;
    for (const Finding& f : findings)
        errors += f.error;
    return errors;
}

int PrintFindings(const std::vector<Finding>& findings) {
    for (const Finding& f : findings)
        fprintf(stderr, "%s: %s: %s\n", f.error ? "error" : "warning", Printable(f.where).c_str(),
                Printable(f.message).c_str());
    fflush(stderr);
    return CountErrors(findings);
}
