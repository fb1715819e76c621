// Reading the record and the file list from memory. The profile rules follow
// the system's private-profile reader (as Wine implements it): the first
// section of a name counts, and within it the first key of a name.
#include "uninst/recordtext.h"

#include <map>

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

// Calls line(text) for each line of text, without its line end, until it
// returns false.
template <typename Line> void EachLine(const std::string& text, Line line) {
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string one = text.substr(at, end - at);
        if (!one.empty() && one.back() == '\r')
            one.pop_back();
        if (!line(one))
            return;
        at = end + 1;
    }
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The text's values by section and key (both in lower case): the first
// section of each name, and the first key of each name within it, as the
// system's reader finds them. One pass, whatever the number of lookups.
using Profile = std::map<std::string, std::map<std::string, std::string>>;

Profile ReadProfile(const std::string& text) {
    Profile profile;
    std::map<std::string, std::string>* current = nullptr;
    EachLine(text, [&](const std::string& raw) {
        std::string line = Trim(raw);
        if (!line.empty() && line[0] == '[') {
            size_t close = line.find(']');
            std::string name = Lower(Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
            current = profile.count(name) ? nullptr : &profile[name];
            return true;
        }
        // A key without "=" has no value and reads as missing.
        size_t equals = line.find('=');
        if (!current || equals == std::string::npos)
            return true;
        std::string value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        if (value.size() > 1023)
            value.resize(1023);
        current->emplace(Lower(Trim(line.substr(0, equals))), value);
        return true;
    });
    return profile;
}

std::string Value(const Profile& profile, const char* section, const std::string& key, bool* present = nullptr) {
    auto s = profile.find(Lower(section));
    auto k = s == profile.end() ? std::map<std::string, std::string>::const_iterator() : s->second.find(Lower(key));
    bool found = s != profile.end() && k != s->second.end();
    if (present)
        *present = found;
    return found ? k->second : std::string();
}

// A count as GetPrivateProfileIntA reads it (leading decimal digits, with a
// sign), bounded: nothing in a record needs more than 10000 entries.
int Count(const Profile& profile, const char* section, const char* key) {
    std::string value = Value(profile, section, key);
    size_t at = 0;
    bool negative = false;
    if (at < value.size() && (value[at] == '+' || value[at] == '-'))
        negative = value[at++] == '-';
    long n = 0;
    for (; at < value.size() && value[at] >= '0' && value[at] <= '9' && n <= 10000; ++at)
        n = n * 10 + (value[at] - '0');
    return negative ? 0 : n > 10000 ? 10000 : static_cast<int>(n);
}

} // namespace

std::string ProfileValue(const std::string& text, const char* section, const char* key, bool* present) {
    return Value(ReadProfile(text), section, key, present);
}

void ParseRecord(const std::string& text, UninstallRecord* record) {
    *record = UninstallRecord();
    Profile profile = ReadProfile(text);
    int shortcuts = Count(profile, "lnk", "max");
    for (int i = 1; i <= shortcuts; ++i) {
        std::string entry = Value(profile, "lnk", std::to_string(i));
        if (!entry.empty())
            record->shortcuts.push_back(entry);
    }
    int keys = Count(profile, "reg", "max");
    if (keys >= 1)
        record->productKey = Value(profile, "reg", "1");
    for (int i = 2; i <= keys; ++i) {
        RecordedValue value;
        value.key = Value(profile, "reg", std::to_string(i));
        value.name = Value(profile, "sub", std::to_string(i), &value.named);
        record->values.push_back(value);
    }
    int runEnd = Count(profile, "maxU", "1");
    for (int k = 1; k < runEnd; ++k) {
        std::string entry = Value(profile, "RunU", std::to_string(k));
        if (!entry.empty())
            record->runFirst.push_back(entry);
    }
}

std::vector<ListedFile> ParseFileList(const std::string& text) {
    std::vector<ListedFile> files;
    EachLine(text, [&files](const std::string& line) {
        ListedFile file;
        if (ParseListLine(line, &file))
            files.push_back(file);
        return true;
    });
    return files;
}
