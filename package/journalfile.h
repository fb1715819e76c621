// The journal's file in the record folder, and the only calls that touch it:
// create, append, flush, read and delete. Everything else about the journal
// goes through these five, so that opening it relative to the held record
// folder is a change of this file alone.
#ifndef BRONDALE_PACKAGE_JOURNALFILE_H
#define BRONDALE_PACKAGE_JOURNALFILE_H

#include <cstddef>

#include "platform/win32api.h"

struct JournalFile {
    HANDLE handle;         // open for writing, shared for reading only; INVALID_HANDLE_VALUE when closed
    char path[MAX_PATH];   // recordFolder\UnInst.jnl
};

// Creates the journal new in recordFolder (never over a file there, never
// through a link) and keeps it open in *file. False when it cannot be made.
bool JournalFileCreate(const char* recordFolder, JournalFile* file);
// Appends size bytes at the end; false when they were not all written.
bool JournalFileAppend(JournalFile* file, const char* bytes, size_t size);
// Makes everything appended so far durable (FlushFileBuffers): after this, a
// power cut keeps it.
bool JournalFileFlush(JournalFile* file);
// Closes the file if open and deletes it; false when it is still there.
bool JournalFileDelete(JournalFile* file);

// Whether recordFolder holds a journal; with bytes, reads the whole of it
// (at most limit bytes, zero-terminated, in memory the caller frees) into
// *bytes and *size. A journal that is a link, a folder, has a second name or
// cannot be read is reported as there but unreadable (*bytes null).
bool JournalFileFound(const char* recordFolder, char** bytes, size_t* size, size_t limit);
// Deletes the journal of recordFolder found by JournalFileFound.
bool JournalFileDeleteFound(const char* recordFolder);

#endif
