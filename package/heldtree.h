// The held tree: every folder that an installation checked and writes into,
// from the drive's first folder along the destination down to each folder
// below it, open without delete sharing from its check to the end of the
// run. Nobody can rename, delete or replace a held folder, and every file
// is reached from its folder's handle (package/heldfiles.h), so no rename
// or link planted meanwhile can send a write anywhere else. The scratch
// sections' folders are held the same way while they are written.
#ifndef BRONDALE_PACKAGE_HELDTREE_H
#define BRONDALE_PACKAGE_HELDTREE_H

#include <cstddef>

#include "package/state.h"
#include "platform/win32api.h"

// How a held folder came to be, which decides who may remove it.
enum TreeOrigin {
    kTreeFound,               // there before: never removed
    kTreeMadeForDestination,  // the destination or a folder above it that its acceptance made
    kTreeMadeBySection,       // made while a section or the finish wrote below the root
};

// Lets every held folder go (the tree is empty afterwards).
void TreeRelease();
// Lets go of every held folder below the root; the root and the folders
// above it stay held.
void TreeReleaseBelowRoot();
// Spells the first length characters of path, a held folder's path, as the
// tree holds it (the case of its letters as the folder was first reached),
// so that one folder has one spelling in the record and the journal.
void TreeSpelling(char* path, size_t length);
// Takes handle (held, opened with kHeldFolderAccess or less) as the folder
// at path; the tree closes it when it lets the folder go. False (the
// handle is closed) when memory ran out.
bool TreeAdd(const char* path, HANDLE handle, TreeOrigin origin);
// The held handle of the folder at path (compared without the case of ASCII
// letters), INVALID_HANDLE_VALUE when the tree does not hold it.
HANDLE TreeFind(const char* path);

// Makes target the tree's root: nothing to do when the tree holds it (an
// accepted destination); otherwise every folder held before is let go and
// target is opened as itself and held, which must be a plain folder. The
// caller holds the folders above it (the scratch folder, or a test's).
bool TreeHoldRoot(const char* target);
// The root's path, "" when there is none.
const char* TreeRoot();

// The held folder of a file path below the root (opened as in
// TreeMakeFolders when the tree does not hold it yet) and its last
// component in *leaf; INVALID_HANDLE_VALUE (a kSectionLink or a failure,
// in *result when given) when its folder cannot be held.
HANDLE TreeParent(const char* path, const char** leaf, SectionResult* result = nullptr);

// Opens or creates, and holds, every folder of the file path path from the
// root down to the file's own folder (its first parentLength characters,
// with the backslash): a folder that is there is opened as itself and must
// be a plain folder (a link or junction gives kSectionLink, named in
// RefusedPath; a file gives kSectionWriteFailed), a missing one is created
// with security (null: inherited) and made is called with its path;
// willMake, when given, is asked first (false: the folder is not made and
// the result is kSectionWriteFailed).
SectionResult TreeMakeFolders(const char* path, size_t parentLength, SECURITY_ATTRIBUTES* security = nullptr,
                              void (*made)(const char* folder) = nullptr,
                              bool (*willMake)(const char* folder) = nullptr);

// Deletes the folder at path, which this run made, through its held handle
// when it is empty, and lets it go. False when it is not held, not this
// run's, or not empty.
bool TreeRemoveFolder(const char* path);
// Removes the folders that the destination's acceptance made, deepest
// first where they are empty, then lets every folder go.
void TreeRemoveDestinationFolders();

#endif
