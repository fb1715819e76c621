// Text lookup: every translatable text by its ID, from the chosen language
// file (scratch key 8) or its built-in Polish default.
#ifndef BRONDALE_LANG_TEXTS_H
#define BRONDALE_LANG_TEXTS_H

// The text of id in the chosen language file, or def when the file, its [lng]
// section or the key is missing. The result is a shared 256-byte buffer that
// the next lookup overwrites; longer texts are cut to 255 characters.
char* GetLang(unsigned int id, char* def);
// Shared defaults of IDs 2 ("Zakończ") and 4 ("Dalej").
char* Zakoncz();
char* Dalej();
// The built-in default of a text ID (1 to 21, 38 to 41, 45 to 47; 12 and
// every other ID give ""): 19 memory that cannot be had, 20 a file held open
// (Retry/Cancel), 21 a link or junction where the installation writes, 38
// the files an elevated installer did not start (followed by their names),
// 39 a destination in or below a link or junction a user could have made
// (followed by that folder), 40 the question for every user or for one
// (Yes/No/Cancel), 41 administrator rights that were not given, 45 and 46
// the question before an older version replaces a newer one (each followed
// by a version), 47 a destination whose name the code page cannot write.
char* DefaultText(unsigned int id);

#endif
