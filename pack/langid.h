// The language an installer speaks first, as Windows numbers languages
// (LANGID), for its version resource: the one its language page
// preselects, which a silent run without /LANG uses too.
#ifndef BRONDALE_PACK_LANGID_H
#define BRONDALE_PACK_LANGID_H

#include <cstdint>
#include <string>
#include <vector>

// The LANGID of a language file's name without ".lng" ("Polski" 0x0415,
// "English" 0x0409, "Deutsch" 0x0407, "Czech" 0x0405, ...), case ignored;
// 0 (language neutral) for a name this table does not know.
uint16_t LanguageId(const std::string& name);

// The name of the language the installer preselects, given the names of
// the Lang section's files: the language list holds them without ".lng",
// cut to 27 characters, and the built-in "Polski", sorted without regard
// to case; the fourth entry is preselected, "Polski" when there are fewer.
std::string PreselectedLanguage(const std::vector<std::string>& languageFiles);

#endif
