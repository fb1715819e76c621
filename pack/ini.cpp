// INI reading for the packing tool.
#include "pack/ini.h"

#include <cstdlib>

namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool Same(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

Ini::Ini(const std::string& text) {
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = Trim(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? text.size() : end + 1;
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            sections_.push_back({Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)), {}});
            continue;
        }
        if (sections_.empty())
            continue;
        size_t eq = line.find('=');
        std::string key = Trim(line.substr(0, eq));
        std::string value = eq == std::string::npos ? std::string() : Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        sections_.back().entries.push_back({key, value});
    }
}

const Ini::Section* Ini::Find(const std::string& section) const {
    for (const Section& s : sections_)
        if (Same(s.name, section))
            return &s;
    return nullptr;
}

std::string Ini::Get(const std::string& section, const std::string& key, bool* found) const {
    if (found)
        *found = false;
    const Section* s = Find(section);
    if (!s)
        return "";
    for (const auto& e : s->entries) {
        if (Same(e.first, key)) {
            if (found)
                *found = true;
            return e.second;
        }
    }
    return "";
}

long Ini::Int(const std::string& section, const std::string& key, long def) const {
    std::string v = Get(section, key);
    if (v.empty())
        return def;
    return strtol(v.c_str(), nullptr, 10);
}

bool Ini::HasSection(const std::string& section) const { return Find(section) != nullptr; }

std::vector<std::string> Ini::Keys(const std::string& section) const {
    std::vector<std::string> keys;
    if (const Section* s = Find(section))
        for (const auto& e : s->entries)
            keys.push_back(e.first);
    return keys;
}

std::vector<std::string> Ini::Sections() const {
    std::vector<std::string> names;
    for (const Section& s : sections_)
        if (Find(s.name) == &s)
            names.push_back(s.name);
    return names;
}
