// The run's log (/LOG=file), shared by the installer and the uninstaller.
// The elevated programs write it wherever they are told, so it is opened only
// on a path without a link or junction in it and is never deleted by name.
#ifndef BRONDALE_BASE_LOG_H
#define BRONDALE_BASE_LOG_H

#include <cstddef>

// Opens the log at path (made a full path first) and empties an existing
// file of that name through its own handle. Only when no folder on the way
// and not the file itself is a link, junction or other reparse point
// (checked on handles held until the file is open), the file has no other
// name (hard link), and the opened file's final path is the named one.
// False (and no log) otherwise or when it cannot be had: a missing log
// never stops the run, and nothing is deleted or written elsewhere. With
// append the file keeps what it holds and the lines follow it: the user's
// half adds its own once the elevated half, which wrote the log, has ended.
bool LogOpen(const char* path, bool append = false);
// Appends one line (printf format, at most 1023 characters, CR LF added)
// when a log is open; does nothing otherwise.
void LogLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// Appends n bytes as they are when a log is open.
void LogWrite(const char* text, size_t n);
bool LogIsOpen();
void LogClose();

#endif
