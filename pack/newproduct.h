// A start for a new product: the product folder that `brondale-pack new`
// makes. What it writes must lint clean and install as it stands, with every
// key explained on comment lines of their own.
#ifndef BRONDALE_PACK_NEWPRODUCT_H
#define BRONDALE_PACK_NEWPRODUCT_H

#include <string>
#include <vector>

// Makes the product folder dir (which must not exist or be empty) for the
// product name (UTF-8): install/init.cfg, lnk.cfg, reg.cfg and licence.txt,
// lang/English.lng and program/NAME.exe holding program (the placeholder).
// Texts are written in the code page the installer runs under. Returns false
// with a message, having removed whatever it made, when the name cannot serve
// (empty, over 63 characters, outside the code page) or a file cannot be
// written; *programName gets the program's name inside program/.
bool CreateProduct(const std::string& dir, const std::string& name, int codePage,
                   const std::vector<unsigned char>& program, std::string* programName, std::string* error);

#endif
