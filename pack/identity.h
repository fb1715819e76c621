// The installer's own identity, written by the packing tool into the copy of
// the installer program it packs: a version resource (what Explorer's
// Details tab and deployment tools read) and, from install/setup.ico, the
// program file's icon (icon group 1; the pages' icons 2 to 6 stay). The same
// folder gives the same bytes on every build of the tool.
#ifndef BRONDALE_PACK_IDENTITY_H
#define BRONDALE_PACK_IDENTITY_H

#include <cstdint>
#include <string>
#include <vector>

#include "pack/peimage.h"
#include "pack/stream/sectionfile.h"

// The vendor's icon in install/.
const char kSetupIcon[] = "setup.ico";

// A version of one to four numbers from 0 to 65535 joined by dots ("2.1.0");
// parts gets them, missing ones 0. False for anything else.
bool ParseVersion(const std::string& text, uint16_t parts[4]);

// One image of an icon file, with the fields an icon group repeats.
struct IconImage {
    unsigned char width = 0, height = 0, colours = 0;
    uint16_t planes = 0, bitCount = 0;
    Bytes data;
};

// The images of an .ico file (images may be null). False with *problem when
// the file is not an icon file whose images all lie inside it.
bool ParseIcon(const std::string& bytes, std::vector<IconImage>* images, std::string* problem);

struct InstallerIdentity {
    std::string name;       // init.cfg [cfg] 1, in the code page
    std::string version;    // [product] Version, may be empty
    std::string publisher;  // [product] Publisher, may be empty
    std::string copyright;  // [product] Copyright, may be empty
    std::string fileName;   // the installer's file name, UTF-8
    std::string icon;       // setup.ico's bytes, empty for none
    int codePage = 1250;
    uint16_t language = 0x0415;  // of the texts: the language preselected
};

// The identity of a product from its Lang and Install sections' files (read
// through their sources) and the installer's file name.
InstallerIdentity ProductIdentity(const std::vector<SectionFile>& lang, const std::vector<SectionFile>& install,
                                  const std::string& fileName, int codePage);

// The version resource of identity: VS_VERSIONINFO with ProductName,
// FileDescription ("<name> Setup"), CompanyName, LegalCopyright,
// ProductVersion, FileVersion and OriginalFilename, in the identity's
// language with its code page (block 041504E2 for Polski in code page 1250).
Bytes VersionResource(const InstallerIdentity& identity);

// stub with identity written into its resources: every resource it had,
// its version resource replaced, and icon group 1 replaced by setup.ico's
// images when there is one. False with a message when stub is not a program
// file this tool can change, or the icon or a text cannot be used.
bool StampInstaller(const Bytes& stub, const InstallerIdentity& identity, Bytes* out, std::string* error);

#endif
