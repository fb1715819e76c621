// The product's Uninstall key under the installation's root (Windows only):
// its path, taken from the product name, and the values that register it.
#ifndef BRONDALE_FINISH_PRODUCT_H
#define BRONDALE_FINISH_PRODUCT_H

#include <windows.h>

#include "finish/installation.h"

// Records and writes the Uninstall key of the installation's product under
// its root (HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER for one user). Returns the last registry result. A product without a
// name is not registered.
LONG DodajDlListy(const Installation& installation);

#endif
