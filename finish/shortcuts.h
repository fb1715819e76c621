// Shortcuts in the common desktop and the product's folder of the common
// Start-menu programs, or the user's own (Windows only).
#ifndef BRONDALE_FINISH_SHORTCUTS_H
#define BRONDALE_FINISH_SHORTCUTS_H

#include "finish/installation.h"

// Makes the desktop (kind 0) or Start-menu (kind 1) shortcuts of lnk.cfg to
// files of the installation. The caller decides whether they are wanted.
void MakeShortcut(short kind, const Installation& installation);
// One shortcut to target in the common desktop or the folder named product
// of the common Start-menu programs (the user's own ones for kScopeUser).
void DodajSkrot(const char* target, bool menu, const char* product, InstallScope scope = kScopeMachine);

#endif
