// Language names as vendors name their language files, in the language
// itself or in English, without accents (file names in the code page may
// carry them too: those are compared as they are).
#include "pack/langid.h"

#include <algorithm>

#include "base/ascii.h"

namespace {

struct NamedLanguage {
    const char* name;
    uint16_t id;
};

const NamedLanguage kLanguages[] = {
    {"polski", 0x0415},     {"polish", 0x0415},     {"english", 0x0409},    {"deutsch", 0x0407},
    {"german", 0x0407},     {"czech", 0x0405},      {"cesky", 0x0405},      {"cestina", 0x0405},
    {"slovak", 0x041B},     {"slovensky", 0x041B},  {"slovencina", 0x041B}, {"hungarian", 0x040E},
    {"magyar", 0x040E},     {"french", 0x040C},     {"francais", 0x040C},   {"spanish", 0x0C0A},
    {"espanol", 0x0C0A},    {"italian", 0x0410},    {"italiano", 0x0410},   {"dutch", 0x0413},
    {"nederlands", 0x0413}, {"romanian", 0x0418},   {"romana", 0x0418},     {"croatian", 0x041A},
    {"hrvatski", 0x041A},   {"slovenian", 0x0424},  {"slovenscina", 0x0424}, {"russian", 0x0419},
    {"ukrainian", 0x0422},  {"lithuanian", 0x0427}, {"latvian", 0x0426},    {"estonian", 0x0425},
    {"portuguese", 0x0816}, {"swedish", 0x041D},    {"svenska", 0x041D},    {"danish", 0x0406},
    {"dansk", 0x0406},      {"norwegian", 0x0414},  {"norsk", 0x0414},      {"finnish", 0x040B},
    {"suomi", 0x040B},      {"turkish", 0x041F},    {"turkce", 0x041F},
};

}  // namespace

uint16_t LanguageId(const std::string& name) {
    std::string lower = LowerAscii(name);
    for (const NamedLanguage& l : kLanguages)
        if (lower == l.name)
            return l.id;
    return 0;
}

std::string PreselectedLanguage(const std::vector<std::string>& languageFiles) {
    std::vector<std::string> names;
    for (const std::string& file : languageFiles) {
        if (file.size() < 4 || LowerAscii(file.substr(file.size() - 4)) != ".lng" ||
            file.find('\\') != std::string::npos)
            continue;
        names.push_back(file.substr(0, std::min<size_t>(file.size() - 4, 27)));
    }
    names.push_back("Polski");
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return LowerAscii(a) < LowerAscii(b); });
    return names.size() > 3 ? names[3] : "Polski";
}
