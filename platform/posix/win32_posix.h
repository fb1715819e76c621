// POSIX stand-in for the few Win32 calls that the portable installer code
// makes. Used only by the native test and fuzzing builds, never shipped.
// The file calls may come from several threads at once (the file pool's
// workers); each thread has its own last error.
// Paths are Windows-style: every backslash is taken as a slash, so a test can
// build "\tmp\x\file" exactly as it builds "C:\users\x\file" under Wine.
// Each call records a last error the way the real API does, and every call
// counts towards the fault-injection switch (PosixFailCallNumber). Open file
// handles keep their access and sharing as Windows does: an open, delete,
// rename or copy that needs what another handle does not share fails with
// ERROR_SHARING_VIOLATION.
// One file of platform/posix per concern implements these, and calls only
// the files below it: errors_posix (last error, fault injection) at the
// bottom, then paths_posix, then handletable_posix (the handle table) and
// security_posix, then names_posix, registry_posix and threads_posix, then
// files_posix and folders_posix, and handles_posix (CloseHandle) on top.
// profile_posix, process_posix, interface_posix and cng_posix use at most
// errors_posix and paths_posix.
#ifndef BRONDALE_PLATFORM_POSIX_WIN32_POSIX_H
#define BRONDALE_PLATFORM_POSIX_WIN32_POSIX_H

#include <cstddef>
#include <cstdint>
#include <pthread.h>

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef int INT;
typedef void* HANDLE;
typedef struct HWND__* HWND;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* LPVOID;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;
typedef void* HMODULE;
typedef uint32_t ULONG;
typedef int32_t NTSTATUS;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
#define WINAPI

#define MAX_PATH 260
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u
#define DELETE 0x00010000u
#define FILE_READ_ATTRIBUTES 0x00000080u
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400u
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000u
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000u
#define FILE_NAME_NORMALIZED 0x0u
#define VOLUME_NAME_DOS 0x0u
#define VOLUME_NAME_NT 0x2u
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000u

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_LOCK_VIOLATION 33L
#define ERROR_HANDLE_EOF 38L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_DIRECTORY 267L
#define ERROR_CANT_RESOLVE_FILENAME 1921L

#define MB_OK 0x0u
#define MB_RETRYCANCEL 0x5u
#define MB_YESNO 0x4u
#define MB_ICONERROR 0x10u
#define MB_ICONQUESTION 0x20u
#define MB_ICONWARNING 0x30u
#define MB_ICONINFORMATION 0x40u
#define IDOK 1
#define IDCANCEL 2
#define IDRETRY 4
#define IDYES 6
#define IDNO 7
#define WM_CLOSE 0x0010

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    char cFileName[MAX_PATH];
    char cAlternateFileName[14];
};
typedef WIN32_FIND_DATAA* LPWIN32_FIND_DATAA;

struct BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
};
typedef BY_HANDLE_FILE_INFORMATION* LPBY_HANDLE_FILE_INFORMATION;
typedef struct SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
typedef struct OVERLAPPED* LPOVERLAPPED;

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition, DWORD flags,
                   HANDLE tmpl);
BOOL ReadFile(HANDLE h, LPVOID buf, DWORD size, LPDWORD got, LPOVERLAPPED ov);
BOOL WriteFile(HANDLE h, const void* buf, DWORD size, LPDWORD put, LPOVERLAPPED ov);
DWORD SetFilePointer(HANDLE h, LONG distance, PLONG distanceHigh, DWORD method);
DWORD GetFileSize(HANDLE h, LPDWORD high);
BOOL CloseHandle(HANDLE h);
BOOL SetEndOfFile(HANDLE h);
BOOL FlushFileBuffers(HANDLE h);
BOOL GetFileInformationByHandle(HANDLE h, LPBY_HANDLE_FILE_INFORMATION info);
// The native query of an open file: only its index (the inode), which
// Windows answers without asking the volume.
typedef int32_t NTSTATUS;
typedef union {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    int64_t QuadPart;
} LARGE_INTEGER;
typedef struct {
    NTSTATUS Status;
    uintptr_t Information;
} IO_STATUS_BLOCK, *PIO_STATUS_BLOCK;
typedef enum {
    FileBasicInformation = 4,
    FileInternalInformation = 6,
    FileRenameInformation = 10,
    FileDispositionInformation = 13,
} FILE_INFORMATION_CLASS;
typedef struct {
    LARGE_INTEGER IndexNumber;
} FILE_INTERNAL_INFORMATION;
#define NTAPI
#define STATUS_INVALID_PARAMETER ((NTSTATUS)0xC000000Du)
#define STATUS_INVALID_HANDLE ((NTSTATUS)0xC0000008u)
NTSTATUS NTAPI NtQueryInformationFile(HANDLE h, PIO_STATUS_BLOCK io, void* out, uint32_t size,
                                      FILE_INFORMATION_CLASS kind);
// The path of what the handle is open on now (a rename moves it along), as
// "\\?\" and the path, or "\Device\Posix" and the path for VOLUME_NAME_NT.
DWORD GetFinalPathNameByHandleA(HANDLE h, LPSTR out, DWORD size, DWORD flags);
DWORD GetFullPathNameA(LPCSTR name, DWORD size, LPSTR out, LPSTR* filePart);
BOOL DeleteFileA(LPCSTR name);
BOOL CopyFileA(LPCSTR from, LPCSTR to, BOOL failIfExists);
BOOL MoveFileA(LPCSTR from, LPCSTR to);
DWORD GetFileAttributesA(LPCSTR name);
BOOL SetFileAttributesA(LPCSTR name, DWORD attributes);
BOOL CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES sa);
BOOL RemoveDirectoryA(LPCSTR name);
HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
BOOL FindClose(HANDLE find);
BOOL FlushFileBuffers(HANDLE h);

// What a handle tells of its file: attributes and reparse tag (a symbolic
// link opened as itself reads as IO_REPARSE_TAG_SYMLINK), attributes and
// times, sizes and the number of its names.
enum FILE_INFO_BY_HANDLE_CLASS { FileBasicInfo = 0, FileStandardInfo = 1, FileAttributeTagInfo = 9 };
struct FILE_ATTRIBUTE_TAG_INFO {
    DWORD FileAttributes;
    DWORD ReparseTag;
};
struct FILE_BASIC_INFO {
    int64_t CreationTime;
    int64_t LastAccessTime;
    int64_t LastWriteTime;
    int64_t ChangeTime;
    DWORD FileAttributes;
};
struct FILE_STANDARD_INFO {
    int64_t AllocationSize;
    int64_t EndOfFile;
    DWORD NumberOfLinks;
    unsigned char DeletePending;
    unsigned char Directory;
};
BOOL GetFileInformationByHandleEx(HANDLE h, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID out, DWORD size);

// The native file calls, relative to a folder handle (RootDirectory): each
// name is one component, opened with openat and its kin on the folder's own
// descriptor, so a folder renamed or replaced by its name meanwhile is never
// entered. A symbolic link is opened as itself under FILE_OPEN_REPARSE_POINT
// (as Windows opens a reparse point), else followed. Names are code-page
// bytes widened one to one (MultiByteToWideChar), and narrowed back here.
typedef uint16_t WCHAR;
typedef unsigned char BOOLEAN;
typedef DWORD ACCESS_MASK;
typedef void* PVOID;
struct UNICODE_STRING {
    uint16_t Length;
    uint16_t MaximumLength;
    WCHAR* Buffer;
};
struct OBJECT_ATTRIBUTES {
    ULONG Length;
    HANDLE RootDirectory;
    UNICODE_STRING* ObjectName;
    ULONG Attributes;
    PVOID SecurityDescriptor;
    PVOID SecurityQualityOfService;
};
#define InitializeObjectAttributes(p, n, a, r, s)                                                                      \
    {                                                                                                                  \
        (p)->Length = sizeof(OBJECT_ATTRIBUTES);                                                                       \
        (p)->RootDirectory = (r);                                                                                      \
        (p)->Attributes = (a);                                                                                         \
        (p)->ObjectName = (n);                                                                                         \
        (p)->SecurityDescriptor = (s);                                                                                 \
        (p)->SecurityQualityOfService = nullptr;                                                                       \
    }
#define OBJ_CASE_INSENSITIVE 0x00000040u
#define CP_ACP 0u
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR in, int inLength, WCHAR* out, int outLength);
// Access rights of files and folders beyond the generic ones.
#define FILE_READ_DATA 0x0001u
#define FILE_LIST_DIRECTORY 0x0001u
#define FILE_WRITE_DATA 0x0002u
#define FILE_APPEND_DATA 0x0004u
#define FILE_TRAVERSE 0x0020u
#define FILE_DELETE_CHILD 0x0040u
#define FILE_WRITE_ATTRIBUTES 0x0100u
#define READ_CONTROL 0x00020000u
#define WRITE_DAC 0x00040000u
#define WRITE_OWNER 0x00080000u
#define SYNCHRONIZE 0x00100000u
// Dispositions and options of NtCreateFile.
#define FILE_OPEN 1u
#define FILE_CREATE 2u
#define FILE_OPEN_IF 3u
#define FILE_OVERWRITE 4u
#define FILE_OVERWRITE_IF 5u
#define FILE_DIRECTORY_FILE 0x00000001u
#define FILE_SYNCHRONOUS_IO_NONALERT 0x00000020u
#define FILE_NON_DIRECTORY_FILE 0x00000040u
#define FILE_OPEN_FOR_BACKUP_INTENT 0x00004000u
#define FILE_OPEN_REPARSE_POINT 0x00200000u
NTSTATUS NtCreateFile(HANDLE* file, ACCESS_MASK access, OBJECT_ATTRIBUTES* object, IO_STATUS_BLOCK* io,
                      LARGE_INTEGER* allocation, ULONG attributes, ULONG share, ULONG disposition, ULONG options,
                      PVOID ea, ULONG eaLength);
struct FILE_BASIC_INFORMATION {
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    ULONG FileAttributes;
};
struct FILE_RENAME_INFORMATION {
    BOOLEAN ReplaceIfExists;
    HANDLE RootDirectory;
    ULONG FileNameLength;
    WCHAR FileName[1];
};
struct FILE_DISPOSITION_INFORMATION {
    BOOLEAN DoDeleteFile;
};
// Renames (FileRenameInformation: into RootDirectory, one component),
// deletes (FileDispositionInformation: at once, where Windows waits for the
// last handle) or sets the attributes (FileBasicInformation) of what h is
// open on; the first two need a handle opened with DELETE.
NTSTATUS NtSetInformationFile(HANDLE h, IO_STATUS_BLOCK* io, PVOID info, ULONG length, FILE_INFORMATION_CLASS kind);
ULONG RtlNtStatusToDosError(NTSTATUS status);

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR out, DWORD size, LPCSTR file);
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT def, LPCSTR file);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file);

DWORD GetTempPathA(DWORD size, LPSTR out);
DWORD GetTickCount(void);
DWORD GetCurrentProcessId(void);
DWORD GetModuleFileNameA(void* module, LPSTR out, DWORD size);
HMODULE GetModuleHandleA(LPCSTR name);
// The file the image at address was mapped from, as Wine names it: "\??\"
// and its path (PosixSetMappedFileName, else the module's file name).
DWORD GetMappedFileNameA(HANDLE process, LPVOID address, LPSTR out, DWORD size);
DWORD GetLastError(void);
void SetLastError(DWORD error);

// Functions of a module by name: none in the stand-in, which is no Wine.
typedef void (*FARPROC)(void);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

int _access(const char* path, int mode);

// Threads, and the slim lock and condition variable they share.
typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID);
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0u
#define WAIT_FAILED 0xFFFFFFFFu
struct SRWLOCK {
    pthread_mutex_t mutex;
};
struct CONDITION_VARIABLE {
    pthread_cond_t cond;
};
#define SRWLOCK_INIT                                                                                                   \
    { PTHREAD_MUTEX_INITIALIZER }
#define CONDITION_VARIABLE_INIT                                                                                        \
    { PTHREAD_COND_INITIALIZER }
HANDLE CreateThread(LPSECURITY_ATTRIBUTES sa, size_t stack, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    LPDWORD id);
// Waits for a thread to end (the only kind of object the stand-in waits on).
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
void AcquireSRWLockExclusive(SRWLOCK* lock);
void ReleaseSRWLockExclusive(SRWLOCK* lock);
BOOL SleepConditionVariableSRW(CONDITION_VARIABLE* variable, SRWLOCK* lock, DWORD milliseconds, DWORD flags);
void WakeConditionVariable(CONDITION_VARIABLE* variable);
void WakeAllConditionVariable(CONDITION_VARIABLE* variable);

// The registry: keys below the four roots with typed values.
typedef struct HKEY__* HKEY;
typedef uint32_t REGSAM;
#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)
#define HKEY_USERS ((HKEY)(uintptr_t)0x80000003u)
#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_READ 0x20019u
#define KEY_ALL_ACCESS 0xF003Fu
#define REG_OPTION_NON_VOLATILE 0u
#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define ERROR_MORE_DATA 234L
#define ERROR_KEY_DELETED 1018L
LONG RegOpenKeyExA(HKEY root, LPCSTR key, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyExA(HKEY root, LPCSTR key, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                     LPSECURITY_ATTRIBUTES sa, HKEY* result, LPDWORD disposition);
LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, BYTE* data, LPDWORD size);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegDeleteValueA(HKEY key, LPCSTR name);
// Deletes a key without subkeys, with its values.
LONG RegDeleteKeyA(HKEY root, LPCSTR key);
LONG RegCloseKey(HKEY key);

// Security: the protected folder descriptor. A SID and a descriptor are kept
// as their text; a folder created with a protected descriptor (text "D:P...")
// that names no group of other users gets mode 0700, as Wine derives mode
// bits from the descriptor a folder was created with.
typedef void* PSID;
typedef void* PSECURITY_DESCRIPTOR;
typedef void* HLOCAL;
typedef ULONG* PULONG;
struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
struct TOKEN_OWNER {
    PSID Owner;
};
struct SID_AND_ATTRIBUTES {
    PSID Sid;
    DWORD Attributes;
};
struct TOKEN_USER {
    SID_AND_ATTRIBUTES User;
};
enum TOKEN_INFORMATION_CLASS { TokenUser = 1, TokenOwner = 4 };
#define TOKEN_QUERY 0x0008u
#define SDDL_REVISION_1 1
typedef DWORD SECURITY_INFORMATION;
#define OWNER_SECURITY_INFORMATION 0x00000001u
#define DACL_SECURITY_INFORMATION 0x00000004u
typedef void* PACL;
enum SE_OBJECT_TYPE { SE_FILE_OBJECT = 1 };
// The descriptor of what h is open on: the text a test set
// (PosixSetDescriptor), else the Administrators as owner (what an elevated
// administrator creates) and the list the file or folder was made with, or
// one derived from its mode bits as Wine derives it. *descriptor is freed
// with LocalFree; owner and dacl point into it.
DWORD GetSecurityInfo(HANDLE h, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID* owner, PSID* group, PACL* dacl,
                      PACL* sacl, PSECURITY_DESCRIPTOR* descriptor);
// The same descriptor's text copied into descriptor; needed tells its
// size, and a buffer too small fails with ERROR_INSUFFICIENT_BUFFER.
BOOL GetKernelObjectSecurity(HANDLE h, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor, DWORD size,
                             DWORD* needed);
BOOL ConvertSecurityDescriptorToStringSecurityDescriptorA(PSECURITY_DESCRIPTOR descriptor, DWORD revision,
                                                          SECURITY_INFORMATION what, LPSTR* text, PULONG size);
#define PROTECTED_DACL_SECURITY_INFORMATION 0x80000000u
// The owner and list of a descriptor built from text: both point to the
// text itself, which SetSecurityInfo keeps for what h is open on.
BOOL GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID* owner, BOOL* defaulted);
BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL* present, PACL* dacl, BOOL* defaulted);
DWORD SetSecurityInfo(HANDLE h, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID owner, PSID group, PACL dacl,
                      PACL sacl);

HANDLE GetCurrentProcess(void);
BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token);
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID out, DWORD size, LPDWORD got);
BOOL ConvertSidToStringSidA(PSID sid, LPSTR* text);
BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR text, DWORD revision, PSECURITY_DESCRIPTOR* descriptor,
                                                          PULONG size);
HLOCAL LocalFree(HLOCAL memory);
// Sets a file's or folder's access list (only DACL_SECURITY_INFORMATION):
// the mode bits follow as for CreateDirectoryA, the text is kept.
BOOL SetFileSecurityA(LPCSTR name, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor);
// The owner and the access list of a file or folder, as one text "O:" and
// the owner's SID, then the DACL the stand-in kept for it; one made without
// a descriptor has the list Wine derives for such a folder (SYSTEM and the
// token's account full control, Everyone read).
BOOL GetFileSecurityA(LPCSTR name, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor, DWORD size,
                      LPDWORD needed);
BOOL ConvertSecurityDescriptorToStringSecurityDescriptorA(PSECURITY_DESCRIPTOR descriptor, DWORD revision,
                                                          SECURITY_INFORMATION what, LPSTR* text, PULONG size);
// The one token handle OpenProcessToken gives; CloseHandle accepts it.
#define POSIX_TOKEN_HANDLE ((HANDLE)(intptr_t)0x70C0)

// CNG hashing (SHA-256 only), with a SHA-256 of the stand-in's own.
typedef void* BCRYPT_ALG_HANDLE;
typedef void* BCRYPT_HASH_HANDLE;
typedef unsigned char* PUCHAR;
typedef const wchar_t* LPCWSTR;
#define BCRYPT_SHA256_ALGORITHM L"SHA256"
#define BCRYPT_USE_SYSTEM_PREFERRED_RNG 0x00000002u
#define BCRYPT_SUCCESS(status) (((NTSTATUS)(status)) >= 0)
NTSTATUS BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* algorithm, LPCWSTR id, LPCWSTR implementation, ULONG flags);
NTSTATUS BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE algorithm, ULONG flags);
NTSTATUS BCryptCreateHash(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE* hash, PUCHAR object, ULONG objectSize,
                          PUCHAR secret, ULONG secretSize, ULONG flags);
NTSTATUS BCryptHashData(BCRYPT_HASH_HANDLE hash, PUCHAR input, ULONG size, ULONG flags);
NTSTATUS BCryptFinishHash(BCRYPT_HASH_HANDLE hash, PUCHAR output, ULONG size, ULONG flags);
NTSTATUS BCryptDestroyHash(BCRYPT_HASH_HANDLE hash);
// Random bytes from the system (getrandom), or a counter (PosixSetRandomCounter).
NTSTATUS BCryptGenRandom(BCRYPT_ALG_HANDLE algorithm, PUCHAR buffer, ULONG size, ULONG flags);

// Test controls of the stand-in; they exist only here.

// Make the Nth counted call from now on (1 = the next one) fail with
// ERROR_WRITE_FAULT-like errors; 0 switches fault injection off.
void PosixFailCallNumber(unsigned long n);
// Ends the process at once (_exit with kPosixCrashExit: no clean-up, no
// destructors, no handle closed) at the Nth counted call from now on, before
// it does anything: a run stopped dead, as by a kill or a power cut after
// that many steps. 0 switches it off.
void PosixCrashAtCall(unsigned long n);
const int kPosixCrashExit = 86;
// Number of counted calls made since the last PosixFailCallNumber.
unsigned long PosixCallCount(void);
// Open file and find handles; a test compares it before and after.
unsigned long PosixOpenHandles(void);
// What GetModuleFileNameA reports and what GetTickCount returns next.
void PosixSetModuleFileName(const char* path);
// What GetMappedFileNameA reports for the program's image ("" or null: the
// module's file name), as after the running file was renamed and another put
// in its place.
void PosixSetMappedFileName(const char* path);
// From now on BCryptGenRandom fills each buffer with the big-endian 64-bit
// counter, first, first + 1, ... (repeated to fill it); on false, system
// randomness again.
void PosixSetRandomCounter(bool on, uint64_t first);
void PosixSetTickCount(DWORD ticks, DWORD step);
// The last message box and message that the code tried to show or send.
struct PosixUiLog {
    int messageBoxes;
    char text[512];
    char caption[64];
    UINT style;
    int messagesSent;
    HWND lastWindow;
    UINT lastMessage;
    // The answer of the next Retry/Cancel boxes, in order (0 ends the list:
    // Cancel from then on).
    int retryAnswers[8];
};
PosixUiLog* PosixUi(void);
// Sets the REG_SZ value name of key below HKEY_LOCAL_MACHINE to text (key
// names compare without case), creating the key; a null text removes it, and
// the key with its last value.
void PosixSetRegistryValue(const char* key, const char* name, const char* text);
// The same below HKEY_CURRENT_USER.
void PosixSetUserRegistryValue(const char* key, const char* name, const char* text);
// Keeps the registry in the file at path (a Windows-style path, as the file
// calls take it) from now on (created from what it holds now when missing;
// read again by every call): what a forked process wrote stays for the
// next. Null keeps it in memory again.
void PosixUseRegistryFile(const char* path);
// Makes the next refusals calls that replace, rename or delete path fail
// with ERROR_SHARING_VIOLATION, as a file held open by another program
// without delete sharing does; 0 lets them through again.
void PosixHoldOpen(const char* path, int refusals);
// The descriptor text that the folder or file at path was last created or
// set with by CreateDirectoryA or SetFileSecurityA; "" when none was given
// (it inherits) or nothing is there.
const char* PosixFolderDescriptor(const char* path);
// The descriptor text ("O:<owner>D:<list>") that GetSecurityInfo reports
// for the file or folder at path from now on, as if its owner and list had
// been set so on Windows; null goes back to the default.
void PosixSetDescriptor(const char* path, const char* text);
// Paths "X:\..." of drive letter X lead below the Unix folder root (null:
// the drive is no longer mapped), so a test can give paths of the form the
// installer's destination rule takes.
void PosixMapDrive(char letter, const char* root);
// Runs action(context) just before the Nth counted call from now on, as
// another process acting at that moment would (it should use POSIX calls,
// not the stand-in's); 0 switches it off.
void PosixActAtCall(unsigned long n, void (*action)(void*), void* context);

#endif
