// The names each configuration file may hold, as the installer reads them: a
// section not listed here is never opened, a key not listed never asked
// for. "#" stands for the list entries 1, 2, 3, ... in plain decimal.
#include "pack/lintfiles.h"

#include <algorithm>
#include <set>

#include "base/ascii.h"
#include "config/config.h"
#include "lang/english.h"
#include "pack/platform.h"

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
         {"product",
          {kProductVersion, kProductPublisher, kProductUrl, kProductCopyright, kProductProgram, kProductScope}}},
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

namespace {

// What one file's lines hold beyond ASCII: the lines in UTF-8 (and whether
// a value or header line is among them), and those with a byte the code
// page has no character for.
struct LineScan {
    std::vector<unsigned> utf8, undefined;
    std::vector<unsigned char> undefinedBytes;
    bool utf8Value = false, otherText = false;
};

LineScan ScanLines(const std::string& bytes, int codePage) {
    LineScan scan;
    unsigned number = 0;
    for (size_t at = 0; at < bytes.size();) {
        size_t end = bytes.find('\n', at);
        std::string line = bytes.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? bytes.size() : end + 1;
        ++number;
        bool ascii = true, utf8 = true;
        for (size_t i = 0; i < line.size();) {
            size_t n = Utf8Length(line, i);
            ascii = ascii && static_cast<unsigned char>(line[i]) < 0x80;
            utf8 = utf8 && n > 0;
            i += n ? n : 1;
        }
        if (ascii)
            continue;
        std::string converted;
        if (utf8) {
            size_t first = line.find_first_not_of(" \t");
            scan.utf8.push_back(number);
            scan.utf8Value = scan.utf8Value || first == std::string::npos || line[first] != ';';
        } else if (!FromCodePage(line, codePage, &converted)) {
            for (char c : line)
                if (static_cast<unsigned char>(c) >= 0x80 && !FromCodePage(std::string(1, c), codePage, &converted)) {
                    scan.undefined.push_back(number);
                    scan.undefinedBytes.push_back(static_cast<unsigned char>(c));
                    break;
                }
        } else {
            scan.otherText = true;
        }
    }
    return scan;
}

std::string LineList(const std::vector<unsigned>& lines) {
    std::string list;
    for (size_t i = 0; i < lines.size() && i < 10; ++i)
        list += (i ? ", " : "") + std::to_string(lines[i]);
    return list + (lines.size() > 10 ? ", ..." : "");
}

}  // namespace

void CheckEncoding(const std::string& bytes, const std::string& file, int codePage, bool configuration,
                   std::vector<Finding>* findings) {
    std::string page = "code page " + std::to_string(codePage);
    if (bytes.size() >= 2 &&
        ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
        findings->push_back(
            {false, file, "saved as UTF-16; the installer reads single-byte text in " + page + ": save it in " + page});
        return;
    }
    LineScan scan = ScanLines(bytes, codePage);
    // UTF-8 in a configuration file reaches the registry, the Uninstall key
    // and the version resource as other letters: an error, unless only
    // comments hold it.
    bool error = configuration && scan.utf8Value;
    if (!scan.utf8.empty() && !scan.otherText && scan.undefined.empty()) {
        findings->push_back({error, file,
                             "saved as UTF-8; the installer reads " + page +
                                 ", where each accented letter shows as two wrong characters (lines " +
                                 LineList(scan.utf8) + "): save it in " + page,
                             scan.utf8[0]});
    } else {
        for (size_t i = 0; i < scan.utf8.size() && i < 20; ++i)
            findings->push_back({error, file,
                                 "written in UTF-8 in a file in " + page +
                                     ": the installer reads each accented letter as two wrong characters; write "
                                     "the line in " +
                                     page,
                                 scan.utf8[i]});
    }
    for (size_t i = 0; i < scan.undefined.size() && i < 20; ++i) {
        static const char kHex[] = "0123456789ABCDEF";
        unsigned char b = scan.undefinedBytes[i];
        findings->push_back({configuration, file,
                             std::string("byte 0x") + kHex[b >> 4] + kHex[b & 15] + " has no character in " + page,
                             scan.undefined[i]});
    }
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
