// Reading the record and the file list from memory. The record's lines are
// read by the private-profile rules of base/ini.h, each value cut as a
// 1024-byte buffer of the system's reader would cut it.
#include "uninst/recordtext.h"

#include <map>

#include "base/ascii.h"
#include "base/ini.h"

namespace {

// Calls line(text) for each line of text, without its line end.
template <typename Line> void EachLine(const std::string& text, Line line) {
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string one = text.substr(at, end - at);
        if (!one.empty() && one.back() == '\r')
            one.pop_back();
        line(one);
        at = end + 1;
    }
}

IniSpan SpanOf(const std::string& s) { return IniSpan{s.data(), s.size()}; }

// The keys of the first [name] of the record, each by its name in lower
// case with the first line of that name, as IniFindKey finds it: one pass
// over the section, whatever the number of lookups.
using Section = std::map<std::string, IniLine>;

Section ReadSection(const std::string& text, const char* name) {
    Section keys;
    IniSpan body{nullptr, 0};
    if (!IniFindSection(SpanOf(text), IniSpanOf(name), &body))
        return keys;
    IniLine line;
    for (size_t at = 0; at < body.length;) {
        IniReadLine(body, &at, &line);
        if (line.kind == kIniEntry || line.kind == kIniKeyOnly)
            keys.emplace(LowerAscii(std::string(line.name.text, line.name.length)), line);
    }
    return keys;
}

std::string Value(const Section& section, const std::string& key, bool* present = nullptr) {
    auto line = section.find(LowerAscii(key));
    bool found = line != section.end() && line->second.kind == kIniEntry;
    if (present)
        *present = found;
    char cut[1024] = "";
    if (found)
        IniCopy(line->second.value, cut, sizeof cut);
    return cut;
}

// A count as GetPrivateProfileIntA reads it (leading decimal digits, with a
// sign), bounded: nothing in a record needs more than 10000 entries.
int Count(const Section& section, const char* key) {
    long n = IniInteger(SpanOf(Value(section, key)), 0);
    return n < 0 ? 0 : n > 10000 ? 10000 : static_cast<int>(n);
}

}  // namespace

std::string ProfileValue(const std::string& text, const char* section, const char* key, bool* present) {
    return Value(ReadSection(text, section), key, present);
}

void ParseRecord(const std::string& text, UninstallRecord* record) {
    *record = UninstallRecord();
    Section lnk = ReadSection(text, "lnk"), reg = ReadSection(text, "reg"), sub = ReadSection(text, "sub");
    Section runU = ReadSection(text, "RunU");
    int shortcuts = Count(lnk, "max");
    for (int i = 1; i <= shortcuts; ++i) {
        std::string entry = Value(lnk, std::to_string(i));
        if (!entry.empty())
            record->shortcuts.push_back(entry);
    }
    int keys = Count(reg, "max");
    if (keys >= 1)
        record->productKey = Value(reg, "1");
    for (int i = 2; i <= keys; ++i) {
        RecordedValue value;
        value.key = Value(reg, std::to_string(i));
        value.name = Value(sub, std::to_string(i), &value.named);
        record->values.push_back(value);
    }
    int runEnd = Count(ReadSection(text, "maxU"), "1");
    for (int k = 1; k < runEnd; ++k) {
        std::string entry = Value(runU, std::to_string(k));
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
    });
    return files;
}
