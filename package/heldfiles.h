// Files of the held tree (package/heldtree.h), each reached from its
// folder's held handle by its one name: created new, opened as itself,
// moved aside under a kept name and put back, deleted through its own
// handle. A path here is only the key to its folder's handle; the system
// never resolves it again.
#ifndef BRONDALE_PACKAGE_HELDFILES_H
#define BRONDALE_PACKAGE_HELDFILES_H

#include <cstddef>
#include <cstdint>

#include "base/installed.h"
#include "platform/win32api.h"

// Kept copies are named as base/installed.h says; their digits start from
// the original name's own (KeptDigitsFor), so a kept copy tells which name
// it stands for. How far past its name's digits a kept copy's digits may
// run (the names taken before it: copies of the same name by runs that
// ended early):
const uint32_t kKeptNameTries = 256;
// The 28-bit digits of name (a file name without its folder), the same
// whatever the case of its ASCII letters.
uint32_t KeptDigitsFor(const char* name);

// Creates the file at path new (never over anything, never through a link)
// with access and no sharing. INVALID_HANDLE_VALUE with the last error:
// ERROR_ALREADY_EXISTS when the name is taken.
HANDLE HeldCreateNew(const char* path, DWORD access);
// Creates the file at path, or empties the one there (opened as itself,
// never through a link), for writing it afresh; no sharing.
HANDLE HeldCreateAfresh(const char* path, DWORD access);
// Opens the existing file at path as itself: a link or other reparse point
// is refused (kErrorLink), never read through.
HANDLE HeldOpenExisting(const char* path, DWORD access, DWORD share);

// Moves the file at path aside under a new kept name in its folder (into
// kept, MAX_PATH bytes), hidden, *attributes getting its attributes before.
// False with *error: ERROR_SHARING_VIOLATION while another program holds
// it, kErrorLink for a link, ... (nothing changed).
// hooks, when given, are told of each kept name before the move is tried
// (before false: not moved, *error ERROR_WRITE_FAULT) and of a move that
// then did not happen.
struct KeepHooks {
    bool (*before)(const char* path, const char* kept, uint32_t attributes);
    void (*failed)(const char* path, const char* kept);
};
bool HeldMoveAside(const char* path, char* kept, DWORD* attributes, DWORD* error, const KeepHooks* hooks = nullptr);
// Puts the kept file back under original (never over a file that has taken
// the name meanwhile) with its attributes.
bool HeldPutBack(const char* kept, const char* original, DWORD attributes);
// Deletes the file at path through its own handle, read-only or not.
bool HeldDelete(const char* path);
// Copies the file source (the scratch folder's, read as it stands) to path,
// created new in its held folder; nothing of path is left when it fails.
bool HeldCopyIn(const char* source, const char* path);
// True when a file (not a folder) stands at path.
bool HeldFileThere(const char* path);
// True when the folder of the kept copy at keptPath holds a file under a
// name whose digits the copy's run on from (KeptDigitsFor): the name it
// stands for has a file again. Read from the folder's listing.
bool KeptOriginalThere(const char* keptPath);

// One file of a held folder for a writer of its own (the run's journal in
// the record folder): created as name in the held folder at folder, new, or
// with replace emptied when it is there (opened as itself); written with
// WriteFile, flushed to the disk with HeldFileFlush, deleted by name with
// HeldFileDelete. INVALID_HANDLE_VALUE when the folder is not held or the
// file cannot be made.
HANDLE HeldFileCreate(const char* folder, const char* name, bool replace);
bool HeldFileFlush(HANDLE file);
bool HeldFileDelete(const char* folder, const char* name);

#endif
