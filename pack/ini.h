// A reader of the INI files of a package (configuration and language files)
// that follows the rules of the Windows profile reader the installer uses:
// names compare without regard to case, the first match counts, blanks
// around names and values are trimmed, one pair of enclosing quotes goes.
#ifndef BRONDALE_PACK_INI_H
#define BRONDALE_PACK_INI_H

#include <map>
#include <string>
#include <vector>

class Ini {
public:
    Ini() = default;
    explicit Ini(const std::string& text);
    // The value, or "" (found false) when the section or key is missing.
    std::string Get(const std::string& section, const std::string& key, bool* found = nullptr) const;
    // As GetPrivateProfileInt: leading digits, def when missing or empty.
    long Int(const std::string& section, const std::string& key, long def = 0) const;
    bool HasSection(const std::string& section) const;
    // Keys of the first section of that name, in file order.
    std::vector<std::string> Keys(const std::string& section) const;
    // Section names in file order, each once (the first of a name counts).
    std::vector<std::string> Sections() const;

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    const Section* Find(const std::string& section) const;
    std::vector<Section> sections_;
};

#endif
