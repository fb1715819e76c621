// JSON text for --json. Control characters, the quote and the backslash are
// escaped as JSON requires; U+0080 to U+009F as \u escapes too, so that no
// C1 control reaches a terminal that shows the document.
#include "pack/json.h"

namespace {

void Hex4(unsigned v, std::string* out) {
    static const char kHex[] = "0123456789abcdef";
    *out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        *out += kHex[(v >> shift) & 15];
}

}  // namespace

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        size_t n = Utf8Length(utf8, i);
        if (n == 0) {
            out += "\\ufffd";
            ++i;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            Hex4(c, &out);
            ++i;
        } else if (c == 0xC2 && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            Hex4(static_cast<unsigned char>(utf8[i + 1]), &out);
            i += 2;
        } else {
            out.append(utf8, i, n);
            i += n;
        }
    }
    return out + "\"";
}

std::string JsonObject(const JsonMembers& members) {
    std::string out = "{";
    for (size_t i = 0; i < members.size(); ++i)
        out += (i ? ", " : "") + JsonString(members[i].first) + ": " + members[i].second;
    return out + "}";
}

std::string JsonArray(const std::vector<std::string>& values) {
    std::string out = "[";
    for (size_t i = 0; i < values.size(); ++i)
        out += (i ? ", " : "") + values[i];
    return out + "]";
}

std::string JsonNumber(uint64_t n) { return std::to_string(n); }

std::string JsonBool(bool b) { return b ? "true" : "false"; }

std::string JsonFindings(const std::vector<Finding>& findings) {
    std::vector<std::string> items;
    for (const Finding& f : findings) {
        FindingPlace place = PlaceOf(f);
        items.push_back(JsonObject({{"file", JsonString(place.file)},
                                    {"section", JsonString(place.section)},
                                    {"key", JsonString(place.key)},
                                    {"line", JsonNumber(f.line)},
                                    {"severity", JsonString(f.error ? "error" : "warning")},
                                    {"message", JsonString(f.message)}}));
    }
    return JsonArray(items);
}
