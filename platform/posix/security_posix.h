// What the folder calls need of the security stand-in: whether a descriptor
// keeps other users out, and keeping the text a folder was made with. Never
// included by the portable code.
#ifndef BRONDALE_PLATFORM_POSIX_SECURITY_POSIX_H
#define BRONDALE_PLATFORM_POSIX_SECURITY_POSIX_H
#include <string>
#include <sys/stat.h>

#include "posix/win32_posix.h"

// True for a descriptor that keeps everyone but SYSTEM, the Administrators
// and the owner out (what the stand-in's CreateDirectoryA looks at).
bool PosixDescriptorIsPrivate(const void* descriptor);
// Keeps the descriptor text a folder was made or set with (null: none),
// by the identity of what path names, or of st.
void PosixKeepDescriptor(const char* path, const void* descriptor);
void PosixKeepDescriptorOf(const struct stat& st, const char* text);
// Forgets what was kept for a file or folder that is gone.
void PosixForgetDescriptor(const struct stat& st);
// The full descriptor text ("O:..D:..") of the file or folder st, as
// GetSecurityInfo reports it.
std::string PosixDescriptorText(const struct stat& st);

#endif
