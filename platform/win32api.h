// The one place where the portable code learns which platform it is built for.
// On Windows it is <windows.h>; elsewhere it is the POSIX stand-in, which
// implements exactly the Win32 calls listed below and nothing else.
//
// Win32 calls used by the portable code (adding one is a deliberate change,
// and the stand-in must follow it):
//   files:     CreateFileA ReadFile WriteFile SetFilePointer GetFileSize
//              CloseHandle DeleteFileA CopyFileA MoveFileA GetFileAttributesA
//              SetFileAttributesA SetEndOfFile GetFullPathNameA
//   handles:   GetFileInformationByHandle GetFileInformationByHandleEx
//              GetFinalPathNameByHandleA FlushFileBuffers
//              NtQueryInformationFile (ntdll; the file index only)
//   relative:  NtCreateFile NtSetInformationFile RtlNtStatusToDosError
//              MultiByteToWideChar (ntdll's, by a held folder's handle)
//   folders:   CreateDirectoryA RemoveDirectoryA FindFirstFileA FindNextFileA
//              FindClose
//   profiles:  GetPrivateProfileStringA GetPrivateProfileIntA
//              WritePrivateProfileStringA
//   process:   GetTempPathA GetTickCount GetCurrentProcessId GetModuleFileNameA GetModuleHandleA
//              GetProcAddress
//              GetMappedFileNameA (kernel32's K32GetMappedFileNameA)
//              GetLastError SetLastError
//   security:  GetCurrentProcess OpenProcessToken GetTokenInformation
//              ConvertSidToStringSidA LocalFree SetFileSecurityA GetFileSecurityA
//              ConvertStringSecurityDescriptorToSecurityDescriptorA
//              GetSecurityInfo SetSecurityInfo GetSecurityDescriptorOwner
//              GetSecurityDescriptorDacl
//              ConvertSecurityDescriptorToStringSecurityDescriptorA
//   hashing:   BCryptOpenAlgorithmProvider BCryptCloseAlgorithmProvider
//              BCryptCreateHash BCryptHashData BCryptFinishHash
//              BCryptDestroyHash BCryptGenRandom (on Windows bound at run
//              time from the system folder by trust/cng.cpp, never imported)
//   threads:   CreateThread WaitForSingleObject AcquireSRWLockExclusive
//              ReleaseSRWLockExclusive SleepConditionVariableSRW
//              WakeConditionVariable WakeAllConditionVariable
//   registry:  RegOpenKeyExA RegCreateKeyExA RegQueryValueExA RegSetValueExA
//              RegDeleteValueA RegDeleteKeyA RegCloseKey
//   interface: MessageBoxA SendMessageA
//   runtime:   _access
#ifndef BRONDALE_PLATFORM_WIN32API_H
#define BRONDALE_PLATFORM_WIN32API_H

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <aclapi.h>
#include <bcrypt.h>
#include <io.h>
#include <psapi.h>
#include <sddl.h>
#include <winternl.h>
#else
#include "posix/win32_posix.h"
#endif

#endif
