// Every text ID that the installer (1 to 21, no 12, then 38 to 41 and 45 to
// 47) and the uninstaller (30 to 37, 42, 48, 49 and 57) look up in a language
// file, with its English text: what a new product's English.lng holds and
// what lint expects a language file to have. An ID added to either program
// belongs here too.
#ifndef BRONDALE_LANG_ENGLISH_H
#define BRONDALE_LANG_ENGLISH_H

#include <cstddef>

struct EnglishText {
    unsigned id;
    const char* text;
};

const EnglishText kEnglishTexts[] = {
    {1, "Do you really want to install"},
    {2, "Finish"},
    {3, "Install"},
    {4, "Next"},
    {5, "I accept the terms of the licence agreement."},
    {6, "Browse"},
    {7, "Choose the folder in which the program will be installed:"},
    {8, "The chosen path is not valid."},
    {9, "Abort the installation?"},
    {10, "Installation progress:"},
    {11, "Unpacked files:"},
    {13, "Choose from the options below the tasks that setup should carry out at the end of the installation."},
    {14, "Create shortcuts on the desktop."},
    {15, "Create shortcuts in the Start menu."},
    {16, "Show the information file."},
    {17, "Run"},
    {18, "when the installation is finished."},
    {19, "There is not enough memory. The installation has been taken back; the files are as they were."},
    {20,
     "The file is open in another program. Close that program and choose Retry, or choose Cancel to stop the "
     "installation without changing any file:"},
    {21, "The installation does not write through a link or junction. It has been taken back:"},
    {30, "Do you really want to uninstall"},
    {31, "The program has been uninstalled."},
    {32, "Could not remove:"},
    {33, "These files were changed or added and stay on the disk:"},
    {34, "This folder is not empty and stays:"},
    {35, "No installation record was found:"},
    {36, "Run the uninstaller again when these files are no longer in use."},
    {37,
     "The installation record was changed after the installation, or its digest is missing, so nothing was "
     "removed. Install the product again to write a fresh record, then uninstall it."},
    {38,
     "The installer runs with administrator rights and did not start these files, so as not to pass those "
     "rights on. Start them yourself:"},
    {39,
     "The chosen folder is, or lies in, a link or junction that a user without administrator rights could have "
     "made. Choose another folder:"},
    {40,
     "Install for all users of this computer? Yes: for all users, with administrator rights. No: only for you, "
     "without them."},
    {41, "The installation for all users needs administrator rights, which were not given. Nothing was installed."},
    {42,
     "This program was installed for one user only. Uninstall it as that user, without administrator rights; "
     "nothing was removed."},
    {45, "A newer version of the product is installed:"},
    {46, "Replace it with the older version of this installer?"},
    {47,
     "The name of the chosen folder has letters that this system's code page cannot write. Choose another "
     "folder."},
    {48,
     "The installation in this folder is no longer the registered one: the product was installed again in "
     "another folder, or removed. Nothing was removed."},
    {49, "The product is installed in:"},
    {50,
     "This folder, or a folder above it, belongs to an account that is not an administrator, so a user could change "
     "what the installation puts there. Choose another folder:"},
    {51,
     "Users without administrator rights may change, rename or delete this folder or what it holds. Choose another "
     "folder:"},
    {52, "Another program made this folder while the installation was creating the path. Choose the folder again:"},
    {53, "The path names a folder by \".\" or \"..\". Give the folder's full path without them."},
    {54, "The installation cannot open, read or create this folder. Choose another folder:"},
    {55, "Another copy of this installation is running. Wait until it has finished, then run the installer again."},
    {56,
     "An installation into this folder was stopped, and what it left could not be finished or taken back. Choose "
     "another folder:"},
    {57,
     "Another installation or removal of this program is running, or one that was stopped could not be finished. "
     "Nothing was removed; run the uninstaller again later."},
};
const size_t kEnglishTextCount = sizeof kEnglishTexts / sizeof kEnglishTexts[0];

// The uninstaller's texts: 30 to 37, then 42, 48, 49 and 57.
const unsigned kFirstUninstallerText = 30;
const unsigned kLastUninstallerText = 37;
const unsigned kUninstallerScopeText = 42;
inline bool IsUninstallerText(unsigned id) {
    return (id >= kFirstUninstallerText && id <= kLastUninstallerText) || id == kUninstallerScopeText || id == 48 ||
           id == 49 || id == 57;
}

#endif
