// The journal of this run: what it is about to change in the destination and
// the registry, written to DEST\UnInstall\UnInst.jnl (package/journalformat.h)
// before each step, so that a run that is killed, or stopped by a power cut,
// can be finished or undone by the next one (package/recovery.h). A step
// that cannot be journaled is not taken. Without a journal begun every call
// here does nothing and answers true. The file pool's workers call too.
#ifndef BRONDALE_PACKAGE_JOURNAL_H
#define BRONDALE_PACKAGE_JOURNAL_H

#include <cstdint>

#include "platform/win32api.h"

// Begins the journal of an installation (kind kJournalInstall) or a removal
// (kJournalRemoval) in destination\UnInstall for the product's Uninstall key
// productKey ("" without one). For an installation a missing record folder
// is created first with the record folder's access list (and journaled), and
// an existing one that the product's key registers gets that list again;
// a link there is refused. False (logged) when the journal cannot be made:
// the run must then change nothing.
bool JournalBegin(const char* destination, const char* productKey, char kind);
bool JournalActive();
// The record folder of the run's journal ("" without one).
const char* JournalRecordFolder();

// Before the file at path is moved to kept (a name in its folder that is not
// taken), with its attributes: written and flushed. False: do not move.
bool JournalKeep(const char* path, const char* kept, uint32_t attributes);
// The move that JournalKeep announced did not happen.
void JournalKeepFailed(const char* path, const char* kept);
// Before this run creates the file at path new: written. False: do not.
bool JournalWillCreate(const char* path);
// Right after it created it, open as file (or, by path, opened again): its
// identity, written. False: delete the file.
bool JournalCreated(const char* path, HANDLE file);
bool JournalCreatedAt(const char* path);
// Before this run creates the folder at path, which it found missing.
bool JournalWillCreateFolder(const char* path);
// Before the value name of key below root (an index of kRegistryRoots) is
// set or deleted: what it holds now, or that it or its key is missing;
// written and flushed. False: do not change it.
bool JournalValue(short root, const char* key, const char* name);
// The commit begins (kJournalCommitMark: everything new is complete, the
// kept copies go) or a removal's record goes (kJournalRecordMark): written
// and flushed.
const char kJournalCommitMark = 'C';
const char kJournalRecordMark = 'G';
bool JournalMark(char mark);

// The run's work is whole (committed, or removed): deletes the journal.
void JournalEnd();
// Takes back everything the journal names, as a recovery would (the same
// rules: only this run's files are deleted, kept copies go back only over a
// free name or this run's file), then deletes the journal and removes the
// folders it names. False, with the journal ended, when it could not be read
// back: the caller then takes back from its own record.
bool JournalTakeBack();

#endif
