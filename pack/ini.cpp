// The packing tool's view of an INI file: the bodies of the sections are
// found in one pass, and every lookup reads a body with base/ini.h.
#include "pack/ini.h"

#include "base/ascii.h"
#include "base/ini.h"

namespace {

IniSpan SpanOf(const std::string& s) { return IniSpan{s.data(), s.size()}; }

}  // namespace

Ini::Ini(const std::string& text) : text_(text) {
    IniSpan all = SpanOf(text_);
    size_t open = 0;  // 1 + the index of the section whose body the lines belong to; 0: none
    IniLine line;
    for (size_t at = 0; at < all.length;) {
        IniReadLine(all, &at, &line);
        if (line.kind != kIniSection)
            continue;
        if (open)
            sections_[open - 1].length = line.start - sections_[open - 1].start;
        std::string name(line.name.text, line.name.length);
        open = 0;
        if (!Find(name)) {
            sections_.push_back({name, at, 0});
            open = sections_.size();
        }
    }
    if (open)
        sections_[open - 1].length = all.length - sections_[open - 1].start;
}

const Ini::Section* Ini::Find(const std::string& section) const {
    for (const Section& s : sections_)
        if (SameAscii(s.name.data(), s.name.size(), section.data(), section.size()))
            return &s;
    return nullptr;
}

std::string Ini::Get(const std::string& section, const std::string& key, bool* found) const {
    const Section* s = Find(section);
    IniSpan value{nullptr, 0};
    IniVerdict verdict = s ? IniFindKey(IniSpan{text_.data() + s->start, s->length}, SpanOf(key), &value) : kIniMissing;
    if (found)
        *found = verdict != kIniMissing;
    return verdict == kIniFound ? std::string(value.text, value.length) : std::string();
}

long Ini::Int(const std::string& section, const std::string& key, long def) const {
    std::string value = Get(section, key);
    return IniInteger(SpanOf(value), def);
}

bool Ini::HasSection(const std::string& section) const { return Find(section) != nullptr; }

std::vector<std::string> Ini::Keys(const std::string& section) const {
    std::vector<std::string> keys;
    const Section* s = Find(section);
    IniSpan body = s ? IniSpan{text_.data() + s->start, s->length} : IniSpan{nullptr, 0};
    IniLine line;
    for (size_t at = 0; at < body.length;) {
        IniReadLine(body, &at, &line);
        if (line.kind == kIniEntry || line.kind == kIniKeyOnly)
            keys.emplace_back(line.name.text, line.name.length);
    }
    return keys;
}

std::vector<std::string> Ini::Sections() const {
    std::vector<std::string> names;
    for (const Section& s : sections_)
        names.push_back(s.name);
    return names;
}
