// The language list of the language page and the recording of the choice.
#ifndef BRONDALE_LANG_LANGUAGES_H
#define BRONDALE_LANG_LANGUAGES_H

// Fills combo box 600 of the language page with the language files of the
// Lang folder and "Polski", and selects the fourth entry when there is one.
void WypelnijCombo();
// Records the chosen language file (Lang folder\NAME.lng) under key 8;
// with nothing selected, Polski.lng, so every text keeps its default.
void ZapiszJezyk();

#endif
