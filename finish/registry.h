// The registry accessor and the registry values of reg.cfg (Windows only).
#ifndef BRONDALE_FINISH_REGISTRY_H
#define BRONDALE_FINISH_REGISTRY_H

#include <windows.h>

#include "finish/installation.h"

// Registry accessor: creates or opens subkey under root index 0..3 and sets
// (operation 1), queries (0) or deletes (2) one value. Binary and
// double-word data arrive as hexadecimal text and are converted in place;
// string data are stored with their terminating zero. Returns the registry
// result; a key that cannot be created is reported as that failure and no
// value is touched.
LONG addregister(const char* subkey, const char* name, unsigned char* data, short operation, short root, int size,
                 unsigned long type);

// Writes every value of reg.cfg, each recorded first; the dynamic path
// substitution puts in the installation's destination.
void DodajDoRejestru(const Installation& installation);

#endif
