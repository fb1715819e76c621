// The names each configuration file may hold, as the installer reads them: a
// section not listed here is never opened, a key not listed never asked
// for. "#" stands for the list entries 1, 2, 3, ... in plain decimal.
#include "pack/lintfiles.h"

#include <algorithm>
#include <set>

#include "base/ascii.h"
#include "config/config.h"
#include "lang/english.h"

namespace {

struct KnownSection {
    const char* name;
    std::vector<std::string> keys;
};

std::vector<std::string> TextIds() {
    std::vector<std::string> ids;
    for (const EnglishText& t : kEnglishTexts)
        ids.push_back(std::to_string(t.id));
    return ids;
}

const std::vector<KnownSection>& Known(TextFileKind kind) {
    static const std::vector<KnownSection> kFiles[4] = {
        {{"cfg", {"1", "2", "3"}},
         {"index", {"max", "maxU"}},
         {"Run", {"#"}},
         {"silent", {"#"}},
         {"RunU", {"#"}},
         {"product", {kProductVersion, kProductPublisher, kProductUrl, kProductProgram}}},
        {{"index1", {"max"}}, {"index2", {"max"}}, {"desktop", {"#"}}, {"menu", {"#"}}},
        {{"index", {"max"}},
         {"key", {"#"}},
         {"name", {"#"}},
         {"value", {"#"}},
         {"type", {"#"}},
         {"dynam", {"#"}},
         {"line", {"#"}}},
        {{"lng", TextIds()}},
    };
    return kFiles[kind];
}

// A list entry's key as the installer asks for it: decimal, no sign, no
// leading zero.
bool IsEntryKey(const std::string& key) {
    return !key.empty() && key[0] != '0' && key.size() <= 5 &&
           std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Edit distance of two short names, without regard to case.
size_t Distance(const std::string& a, const std::string& b) {
    std::string x = LowerAscii(a), y = LowerAscii(b);
    std::vector<size_t> row(y.size() + 1);
    for (size_t j = 0; j <= y.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= x.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= y.size(); ++j) {
            size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[y.size()];
}

// " (did you mean [menu]?)" for the closest known section, when one is near.
std::string Suggestion(const std::string& section, const std::vector<KnownSection>& known) {
    const KnownSection* best = nullptr;
    size_t distance = 3;
    for (const KnownSection& k : known) {
        size_t d = Distance(section, k.name);
        if (d < distance) {
            best = &k;
            distance = d;
        }
    }
    return best ? std::string(" (did you mean [") + best->name + "]?)" : "";
}

}  // namespace

void CheckNames(const Ini& ini, TextFileKind kind, const std::string& file, std::vector<Finding>* findings) {
    const std::vector<KnownSection>& known = Known(kind);
    for (const std::string& section : ini.Sections()) {
        auto k = std::find_if(known.begin(), known.end(),
                              [&](const KnownSection& s) { return LowerAscii(s.name) == LowerAscii(section); });
        if (k == known.end()) {
            findings->push_back({false, file + " [" + section + "]",
                                 "not a section the installer reads: its entries are ignored" +
                                     Suggestion(section, known)});
            continue;
        }
        for (const std::string& key : ini.Keys(section)) {
            bool read = std::any_of(k->keys.begin(), k->keys.end(), [&](const std::string& name) {
                return name == "#" ? IsEntryKey(key) : LowerAscii(name) == LowerAscii(key);
            });
            if (!read)
                findings->push_back({false, file + " [" + section + "] " + key,
                                     kind == kLanguageFile ? "not a text ID the installer or uninstaller shows"
                                                           : "not a key the installer reads: it is ignored"});
        }
    }
}

void CheckEncoding(const std::string& bytes, const std::string& file, int codePage, std::vector<Finding>* findings) {
    std::string page = "code page " + std::to_string(codePage);
    if (bytes.size() >= 2 &&
        ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
        findings->push_back(
            {false, file, "saved as UTF-16; the installer reads single-byte text in " + page + ": save it in " + page});
        return;
    }
    bool beyondAscii = false;
    for (size_t i = 0; i < bytes.size();) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        size_t n = b < 0x80                   ? 1
                   : (b >= 0xC2 && b <= 0xDF) ? 2
                   : (b >= 0xE0 && b <= 0xEF) ? 3
                   : (b >= 0xF0 && b <= 0xF4) ? 4
                                              : 0;
        if (n == 0 || i + n > bytes.size())
            return;  // not UTF-8: single-byte text
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return;
        beyondAscii = beyondAscii || n > 1;
        i += n;
    }
    if (beyondAscii)
        findings->push_back({false, file,
                             "saved as UTF-8; the installer reads " + page +
                                 ", where each accented letter shows as two wrong characters: save "
                                 "it in " +
                                 page});
}

void CheckLanguageTexts(const Ini& lng, const std::string& file, std::vector<Finding>* findings) {
    std::set<std::string> present;
    for (const std::string& key : lng.Keys("lng"))
        present.insert(key);
    std::string missing;
    for (const EnglishText& t : kEnglishTexts) {
        if (!present.count(std::to_string(t.id)))
            missing += (missing.empty() ? "" : ", ") + std::to_string(t.id);
    }
    if (!lng.HasSection("lng"))
        findings->push_back({false, file, "no [lng] section: every text stays the built-in Polish one"});
    else if (!missing.empty())
        findings->push_back({false, file + " [lng]",
                             "lacks text IDs " + missing + ": those show the built-in Polish texts"});
}
