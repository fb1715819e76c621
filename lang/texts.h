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
// The built-in default of a text ID (1 to 21; 12 has none and gives ""):
// 19 memory that cannot be had, 20 a file held open (Retry/Cancel), 21 a
// link or junction where the installation writes.
char* DefaultText(unsigned int id);

#endif
