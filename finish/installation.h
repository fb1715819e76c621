// What one installation works on: read once where the finish starts and
// handed to each of its steps, so that no step reads it again.
#ifndef BRONDALE_FINISH_INSTALLATION_H
#define BRONDALE_FINISH_INSTALLATION_H

#include "base/installed.h"
#include "config/config.h"
#include "platform/win32api.h"

struct Installation {
    char destination[MAX_PATH];   // the destination folder, exactly as given
    char product[kCfgValueSize];  // the product name (init.cfg [cfg] 1), "" when there is none
    char productKey[MAX_PATH];    // its Uninstall key path below root, "" without a name
    char record[MAX_PATH];        // the uninstall record DEST\UnInstall\UnInst.cfg
    InstallScope scope;           // for every user, or for the user who runs it
    short root;                   // the Uninstall key's root (UninstallRoot of scope)
};

#endif
