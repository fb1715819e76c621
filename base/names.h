// The installer's fixed texts and its own file name.
#ifndef BRONDALE_BASE_NAMES_H
#define BRONDALE_BASE_NAMES_H

// "Brondale": the caption of every message box.
const char* Brondale();
// "Software\Varkel\Brondale": one input of the scramble key.
const char* RegRegister();
// Full path of the installer's own executable into a 260-byte buffer;
// returns its length.
unsigned long Program(char* buffer);

#endif
