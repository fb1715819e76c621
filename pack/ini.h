// A product's INI file (a configuration or language file) as the packing
// tool reads it: its text, looked up by the rules of base/ini.h, which are
// those of the profile reader the installer uses.
#ifndef BRONDALE_PACK_INI_H
#define BRONDALE_PACK_INI_H

#include <string>
#include <vector>

class Ini {
public:
    Ini() = default;
    explicit Ini(const std::string& text);
    // The value, or "" when the section or key is missing; found is false
    // only then (a key without "=" is found, with an empty value).
    std::string Get(const std::string& section, const std::string& key, bool* found = nullptr) const;
    // As GetPrivateProfileInt: leading digits, def when missing or empty.
    long Int(const std::string& section, const std::string& key, long def = 0) const;
    bool HasSection(const std::string& section) const;
    // Keys of the first section of that name, in file order.
    std::vector<std::string> Keys(const std::string& section) const;
    // Section names in file order, each once (the first of a name counts).
    std::vector<std::string> Sections() const;

private:
    // The first section of a name: where its body lies in text_.
    struct Section {
        std::string name;
        size_t start = 0, length = 0;
    };
    const Section* Find(const std::string& section) const;
    std::string text_;
    std::vector<Section> sections_;
};

#endif
