// Product versions as init.cfg [product] Version gives them and the Uninstall
// key's DisplayVersion keeps them: one to four numbers from 0 to 65535 joined
// by dots. The packing tool checks them with the same reader the installer
// compares them with.
#ifndef BRONDALE_BASE_VERSION_H
#define BRONDALE_BASE_VERSION_H

#include <cstddef>
#include <cstdint>

// Reads text (length characters) into parts, missing parts 0 ("2.1" is
// 2.1.0.0). False for anything else: an empty part, a part over 65535 or of
// more than five digits, a sign, a blank, a fifth part.
bool ParseVersionText(const char* text, size_t length, uint16_t parts[4]);

// Negative when a is older than b, 0 when they are the same version ("2.1"
// and "2.1.0.0" are), positive when a is newer.
int CompareVersions(const uint16_t a[4], const uint16_t b[4]);

#endif
