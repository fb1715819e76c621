// What one installation works on: read once where the finish starts and
// handed to each of its steps, so that no step reads it again.
#ifndef BRONDALE_FINISH_INSTALLATION_H
#define BRONDALE_FINISH_INSTALLATION_H

#include "config/config.h"
#include "platform/win32api.h"

struct Installation {
    char destination[MAX_PATH];   // the destination folder, exactly as given
    char product[kCfgValueSize];  // the product name (init.cfg [cfg] 1), "" when there is none
    char productKey[MAX_PATH];    // its Uninstall key path below HKEY_LOCAL_MACHINE, "" without a name
    char record[MAX_PATH];        // the uninstall record DEST\UnInstall\UnInst.cfg
};

#endif
