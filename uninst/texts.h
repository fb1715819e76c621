// The uninstaller's texts: from the language file that the installation
// used (UnInstall\Language.lng, section [lng]), or the built-in Polish ones.
#ifndef BRONDALE_UNINST_TEXTS_H
#define BRONDALE_UNINST_TEXTS_H

#include <string>

// Text IDs of the uninstaller, after the installer's.
enum UninstallText {
    kTextConfirm = 30,    // the question, followed by " <product>?"
    kTextDone = 31,       // first line of the final message
    kTextFailed = 32,     // heading of what could not be removed
    kTextKept = 33,       // heading of files changed or added by the user
    kTextFolder = 34,     // heading of the destination folder that stays
    kTextNoRecord = 35,   // the record is missing
    kTextAgain = 36,      // the uninstaller stays to be run again
    kTextNotSealed = 37,  // the record was changed or has no digest
    kTextForOneUser = 42, // an elevated run found an installation for one user
    kTextElsewhere = 48,  // the product's key registers another folder's uninstaller, or none
    kTextInFolder = 49,   // heading of the folder the product is registered in
    kTextAnotherRun = 57, // another run of the product or the folder, or one left unfinished
};

// Chooses the language file; a missing file gives the built-in texts.
void UseLanguageFile(const std::string& path);
// The text of id, at most 255 characters.
std::string Text(UninstallText id);

#endif
