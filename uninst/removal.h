// Removing the installed files from held folders: the destination and every
// folder of the listed files are opened as themselves, from the one above,
// and held without delete sharing from before the first program of [RunU]
// starts until the removal ends; each file is opened as itself from its
// held folder, checked on that handle and deleted through it. No rename or
// link planted meanwhile can send a deletion anywhere else.
#ifndef BRONDALE_UNINST_REMOVAL_H
#define BRONDALE_UNINST_REMOVAL_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "uninst/steps.h"

struct RemovalTree {
    std::string destination;
    HANDLE root = INVALID_HANDLE_VALUE;
    // Held folders by their path below the destination (ASCII letters
    // lower-cased), with the path as listed.
    std::map<std::string, std::pair<std::string, HANDLE>> folders;
};

// Holds destination (a plain folder that its final path names, so no link
// along it) and every existing folder of files below it. False when the
// destination cannot be held: then nothing is held and nothing is removed.
// A folder of the list that is a link, junction or other reparse point is
// not held and nothing below it is removed.
bool HoldRemovalTree(const std::string& destination, const std::vector<ListedFile>& files, RemovalTree* tree);

// Deletes each listed file whose size and CRC-32, read through the handle
// it is deleted with, are still those the installer wrote, then the held
// folders that this leaves empty, deepest first; lets every folder go.
// Files in use go to outcome->failed.
void RemoveFiles(RemovalTree* tree, const std::vector<ListedFile>& files, Outcome* outcome);

// Lets every held folder go.
void ReleaseRemovalTree(RemovalTree* tree);

#endif
