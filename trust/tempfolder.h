// Which temporary folder the elevated programs make their private folders
// in. Their paths are ANSI text in the system's code page: a temporary
// folder whose name that code page cannot write (a user name in another
// script) is reached through its short form, or else the Windows
// temporary folder is used, with the same random, protected and held
// folders inside. The choice is a plain function of what the system
// reported, so that both builds test it.
#ifndef BRONDALE_TRUST_TEMPFOLDER_H
#define BRONDALE_TRUST_TEMPFOLDER_H

#include <cstddef>

// Where the chosen temporary folder came from.
enum TempSource {
    kTempAsNamed,    // the user's temporary folder by its own name
    kTempShortName,  // the same folder by its short (8.3) name
    kTempWindows,    // the Windows temporary folder
    kTempNone,       // none can be used
};

// The candidates, in the order they are tried: each as the code page
// writes it, letter for letter, or null when it cannot be written (no
// letter replaced or approximated) or the system did not give it.
struct TempCandidates {
    const char* named;      // the temporary folder (TMP, TEMP, ...)
    const char* shortName;  // its short form
    const char* windows;    // the Windows folder's Temp
};

// The user's temporary folder when the code page writes its name (named
// is not null); else its short form, else the Windows one, the first that
// is not empty. The chosen folder must fit, ending in a backslash, in
// kMaxTempPath characters (base/scratch.h): a named folder that does not
// is no reason to go elsewhere, and gives none; a stand-in that does not
// gives way to the next. Written with that backslash into out (size
// bytes); kTempNone, with out "", when none is chosen.
TempSource ChooseTempFolder(const TempCandidates& candidates, char* out, size_t size);

#endif
