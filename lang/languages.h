// The language list of the language page and the recording of the choice.
#ifndef BRONDALE_LANG_LANGUAGES_H
#define BRONDALE_LANG_LANGUAGES_H

// Fills combo box 600 of the language page with the language files of the
// Lang folder and "Polski", and selects the fourth entry when there is one,
// or the entry that /LANG= names.
void WypelnijCombo();
// Records the chosen language file (Lang folder\NAME.lng) under key 8;
// with nothing selected, Polski.lng, so every text keeps its default.
void ZapiszJezyk();
// The same choice without the page (a silent run): wanted when the package
// has a language of that name or wanted is "Polski" (compared without
// regard to case, as the list finds it), otherwise the entry the page
// preselects. Records it under key 8 and copies the name into chosen (32
// bytes).
void ChooseLanguage(const char* wanted, char* chosen);

#endif
