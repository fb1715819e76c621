// The section reader. Members are inflated in gzip mode straight from the
// package handle, in blocks, bounded by each member's size; zlib checks every
// stream's CRC-32 and length, and the reader checks that the stream fills its
// member exactly. The whole header is validated before anything is written,
// and a failure takes back exactly the files and folders the section wrote.
#include "package/extract.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <zlib.h>

#include "base/format.h"
#include "package/locator.h"
#include "package/record.h"
#include "lang/texts.h"
#include "base/state.h"
#include "base/files.h"
#include "base/names.h"
#include "base/scratch.h"
#include "base/switches.h"

char* tmp() {
    static char buffer[MAX_PATH];
    return buffer;
}

const char* header() { return "GZC"; }

uint32_t* IlePlikow() {
    static uint32_t count;
    return &count;
}

uint64_t* crc32(unsigned char byte, bool query) {
    static uint64_t sum;
    if (!query)
        sum = (sum + byte) % kChecksumModulus;
    return &sum;
}

MemberSum* SumaCzlonka() {
    static MemberSum sum;
    return &sum;
}

ProgressReport* RaportPostepu() {
    static ProgressReport report = nullptr;
    return &report;
}

unsigned char* ZatrzymajRozpakowywanie() {
    static unsigned char stop = 0;
    return &stop;
}

char* SciezkaOdmowy() {
    static char path[MAX_PATH];
    return path;
}

char* lista() {
    static char path[MAX_PATH];
    if (path[0] == '\0')
        snprintf(path, sizeof path, "%s\\list.txt", tmp_dir());
    return path;
}

namespace {

// Read-ahead of the path-list file; one list is read at a time.
struct ListReader {
    unsigned char data[4096];
    DWORD size;
    DWORD next;
    bool end;
};

ListReader* Reader() {
    static ListReader reader;
    return &reader;
}

void ReaderReset() {
    ListReader* r = Reader();
    r->size = r->next = 0;
    r->end = false;
}

// -1 at the end of the file or on a read error.
int ReaderByte(HANDLE list) {
    ListReader* r = Reader();
    if (r->next == r->size) {
        if (r->end)
            return -1;
        DWORD got = 0;
        if (!ReadFile(list, r->data, sizeof r->data, &got, nullptr) || got == 0) {
            r->end = true;
            return -1;
        }
        r->size = got;
        r->next = 0;
    }
    return r->data[r->next++];
}

// The folder of the previous member, with its trailing backslash.
char* LastParent() {
    static char folder[MAX_PATH];
    return folder;
}

void RecordFolder(const char* folder) {
    // A folder the record cannot hold stays behind on failure; it is empty.
    ZapisaneDodaj(folder, true);
}

// Output buffers live for the run: the reader is never entered twice at once.
unsigned char* InputBlock() {
    static unsigned char block[1 << 16];
    return block;
}
const DWORD kInputBlock = 1 << 16;

unsigned char* OutputBlock() {
    static unsigned char block[1 << 18];
    return block;
}
const DWORD kOutputBlock = 1 << 18;

// The values last reported per bar, and when, so that only changes are
// sent, and no faster than the page can show them.
short* Reported() {
    static short last[2] = {-1, -1};
    return last;
}

DWORD* ReportedAt() {
    static DWORD at[2];
    return at;
}

// Every report is a sent message and a repaint on the interface thread
// (several milliseconds under Wine): more than about ten a second shows
// nothing more and only slows the extraction. A bar's first value in a
// member (when it changes), and 100, always go through, so each member
// shows that it started and the bars always end on 100.
const DWORD kReportInterval = 100;

void Report(short value, bool bar, bool first = false) {
    short* last = Reported();
    if (last[bar] == value)
        return;
    DWORD now = GetTickCount();
    if (!first && last[bar] != -1 && value != 100 && now - ReportedAt()[bar] < kReportInterval)
        return;
    last[bar] = value;
    ReportedAt()[bar] = now;
    (*RaportPostepu())(value, bar);
}

// zlib's CRC-32, named apart from this file's crc32 accessor above, which
// would otherwise overload it.
uint32_t ZlibCrc(uint32_t crc, const unsigned char* data, DWORD n) {
    return static_cast<uint32_t>(::crc32(static_cast<uLong>(crc), data, static_cast<uInt>(n)));
}

bool Reporting() { return *PaczkaZProgramem() && *RaportPostepu() != nullptr; }

// The member's ISIZE, read from its last four bytes; the handle is put back
// where it was. 0 when it cannot be read (the stream check then decides).
uint32_t PeekIsize(HANDLE package, uint32_t memberSize) {
    uint64_t here;
    unsigned char trailer[4];
    if (!FilePosition(package, &here) || !SeekTo(package, here + memberSize - 4))
        return 0;
    bool ok = winfread(trailer, package, 4);
    return SeekTo(package, here) && ok ? ReadLe32(trailer) : 0;
}


// Walks the folders of path between the target (its first targetLength
// characters) and the file's folder (parentLength, with the backslash). A
// link or junction among those that exist is refused and named; so is a
// file standing where a folder goes. *existed tells whether every one of
// them was there already. Folders missing are created by this run, so
// nothing below them needs a look.
SectionResult CheckFolders(const char* path, size_t targetLength, size_t parentLength, bool* existed) {
    char folder[MAX_PATH];
    *existed = false;
    for (size_t i = targetLength + 1; i < parentLength; ++i) {
        if (path[i] != '\\')
            continue;
        memcpy(folder, path, i);
        folder[i] = '\0';
        DWORD attributes = GetFileAttributesA(folder);
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return kSectionOk;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            snprintf(SciezkaOdmowy(), MAX_PATH, "%s", folder);
            return kSectionLink;
        }
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return kSectionWriteFailed;
    }
    *existed = true;
    return kSectionOk;
}

// Records the kept files that an interrupted run left in folder (with its
// trailing backslash), so that this run's commit deletes them. Only hidden
// files of the kept form count; anything else is the user's.
SectionResult RecordStale(const char* folder) {
    char pattern[MAX_PATH];
    if (snprintf(pattern, sizeof pattern, "%s%s*", folder, kKeptPrefix) >= static_cast<int>(sizeof pattern))
        return kSectionOk;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return kSectionOk;
    SectionResult result = kSectionOk;
    do {
        const DWORD kNotPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
        if (!IsKeptName(entry.cFileName) || (entry.dwFileAttributes & kNotPlain) ||
            !(entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN))
            continue;
        char path[MAX_PATH];
        if (snprintf(path, sizeof path, "%s%s", folder, entry.cFileName) < static_cast<int>(sizeof path) &&
            !ZapisaneStara(path))
            result = kSectionNoMemory;
    } while (result == kSectionOk && FindNextFileA(find, &entry));
    FindClose(find);
    return result;
}

// A kept name in path's folder that is not taken: kept receives it. The
// digits run on from a value drawn once per run, so that names of one run
// differ and a name left by an earlier run is passed over.
bool MoveAside(const char* path, char* kept, DWORD* error) {
    static uint32_t next = GetTickCount() * 2654435761u;
    size_t folder = static_cast<size_t>(strrchr(path, '\\') - path) + 1;
    for (int attempt = 0; attempt < 64; ++attempt) {
        uint32_t digits = next++ & 0x0FFFFFFFu;
        if (folder + kKeptNameLength > kMaxPath) {
            *error = ERROR_INVALID_NAME;
            return false;
        }
        memcpy(kept, path, folder);
        snprintf(kept + folder, MAX_PATH - folder, "%s%07lX", kKeptPrefix, static_cast<unsigned long>(digits));
        if (MoveFileA(path, kept))
            return true;
        *error = GetLastError();
        if (*error != ERROR_ALREADY_EXISTS && *error != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

} // namespace

int ffscanf(HANDLE list, char* buffer) {
    size_t length = 0;
    int c = ReaderByte(list);
    if (c < 0)
        return 0;
    bool bad = false;
    for (; c >= 0 && c != '\n'; c = ReaderByte(list)) {
        if (c == '\r') {
            int next = ReaderByte(list);
            if (next == '\n')
                break;
            bad = true;
            if (next < 0)
                break;
            c = next;
        }
        if (c < 0x20)
            bad = true;
        if (length < kMaxPath)
            buffer[length] = static_cast<char>(c);
        ++length;
    }
    if (length > kMaxPath) {
        buffer[kMaxPath] = '\0';
        return -1;
    }
    buffer[length] = '\0';
    return bad ? -1 : 1;
}

SectionResult dircat(HANDLE list, const char* target) {
    char line[MAX_PATH];
    if (ffscanf(list, line) != 1)
        return kSectionDamaged;
    size_t lineLength = strlen(line);
    if (!IsSafeMemberPath(line, lineLength))
        return kSectionDamaged;
    if (strlen(target) + 1 + lineLength > kMaxPath)
        return kSectionDamaged;
    if (snprintf(tmp(), MAX_PATH, "%s\\%s", target, line) >= MAX_PATH)
        return kSectionDamaged;
    // A folder path takes at most 247 characters (MAX_PATH less room for an
    // 8.3 name): one longer could not be created, nor emptied again.
    if (strrchr(tmp(), '\\') - tmp() > static_cast<long>(kMaxFolderPath))
        return kSectionDamaged;
    // Consecutive members usually share a folder: create each one once.
    char* parent = LastParent();
    size_t parentLength = static_cast<size_t>(strrchr(tmp(), '\\') - tmp()) + 1;
    if (strlen(parent) == parentLength && memcmp(parent, tmp(), parentLength) == 0)
        return kSectionOk;
    bool existed = false;
    SectionResult checked = CheckFolders(tmp(), strlen(target), parentLength, &existed);
    if (checked != kSectionOk)
        return checked;
    // The target and the folders above it are not the section's own and stay
    // whatever happens; only folders created below the target are recorded.
    char self[MAX_PATH];
    snprintf(self, sizeof self, "%s\\", target);
    CreateBaseDirectory(self, nullptr);
    memcpy(parent, tmp(), parentLength);
    parent[parentLength] = '\0';
    if (existed)
        return RecordStale(parent);
    CreateBaseDirectory(parent, RecordFolder);
    return kSectionOk;
}

bool PlikWUzyciu(const char* path) {
    char text[512];
    snprintf(text, sizeof text, "%s\n\n%s", GetLang(20, DefaultText(20)), path);
    // A silent run has nobody to close the other program: it cancels.
    return Tell(text, Brondale(), MB_RETRYCANCEL | MB_ICONWARNING, IDCANCEL) == IDRETRY;
}

SectionResult ZrobMiejsce(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return kSectionOk;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        snprintf(SciezkaOdmowy(), MAX_PATH, "%s", path);
        return kSectionLink;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return kSectionWriteFailed;
    char kept[MAX_PATH];
    DWORD error = ERROR_SUCCESS;
    while (!MoveAside(path, kept, &error)) {
        // Held open without delete sharing; a running program's file can be
        // renamed, so this is an editor or a viewer the user can close.
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
            return kSectionWriteFailed;
        snprintf(SciezkaOdmowy(), MAX_PATH, "%s", path);
        if (!PlikWUzyciu(path))
            return kSectionCancelled;
        if (*ZatrzymajRozpakowywanie())
            return kSectionStopped;
    }
    // Hidden, so that it does not show among the product's files while the
    // installation runs, and so that a later run can tell it from the user's.
    SetFileAttributesA(kept, (attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_HIDDEN);
    if (!ZapisaneKopia(path, kept, attributes)) {
        MoveFileA(kept, path);
        SetFileAttributesA(path, attributes);
        return kSectionNoMemory;
    }
    return kSectionOk;
}

SectionResult dekompresjagz(HANDLE package, uint32_t memberSize, HANDLE output, unsigned short mode,
                            uint32_t index) {
    bool reporting = Reporting();
    uint32_t isize = reporting ? PeekIsize(package, memberSize) : 0;
    // The path list counts as the first member: it shows 2/N, member k (k+1)/N.
    double done = static_cast<double>(index == 0 ? 2 : index + 1) / *IlePlikow() * 100;
    short sectionPercent = static_cast<short>(done < 100 ? done : 100);
    unsigned char key[kScrambleKeySize];
    size_t keyPosition = 0;
    if (mode == kModeScrambled)
        ScrambleKey(RegRegister(), Brondale(), key);

    z_stream z;
    memset(&z, 0, sizeof z);
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK)
        return kSectionNoMemory;

    SectionResult result = kSectionOk;
    uint32_t left = memberSize;
    uint64_t produced = 0;
    uint32_t memberCrc = ZlibCrc(0, nullptr, 0);
    *SumaCzlonka() = MemberSum{0, memberCrc};
    bool firstBlock = true;
    for (;;) {
        if (*ZatrzymajRozpakowywanie()) {
            result = kSectionStopped;
            break;
        }
        if (z.avail_in == 0 && left > 0) {
            DWORD n = left < kInputBlock ? left : kInputBlock;
            if (!winfread(InputBlock(), package, n)) {
                result = kSectionDamaged;  // the package ends inside the member
                break;
            }
            left -= n;
            z.next_in = InputBlock();
            z.avail_in = n;
        }
        z.next_out = OutputBlock();
        z.avail_out = kOutputBlock;
        int status = inflate(&z, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) {
            result = status == Z_MEM_ERROR ? kSectionNoMemory : kSectionDamaged;
            break;
        }
        DWORD n = kOutputBlock - z.avail_out;
        produced += n;
        if (produced > UINT32_MAX) {
            result = kSectionDamaged;
            break;
        }
        if (n > 0) {
            if (mode == kModeScrambled)
                ScrambleBlock(OutputBlock(), n, key, &keyPosition);
            uint64_t* sum = crc32(0, true);
            *sum = ChecksumAdd(*sum, OutputBlock(), n);
            memberCrc = ZlibCrc(memberCrc, OutputBlock(), n);
            if (reporting && isize != 0) {
                Report(sectionPercent, false, firstBlock);
                Report(static_cast<short>(static_cast<double>(produced < isize ? produced : isize) / isize * 100), true,
                       firstBlock);
                firstBlock = false;
            }
            if (output != INVALID_HANDLE_VALUE && !winfwrite(OutputBlock(), output, n)) {
                result = kSectionWriteFailed;
                break;
            }
        }
        if (status == Z_STREAM_END) {
            // The stream must fill its member: trailing bytes are damage.
            if (z.avail_in != 0 || left != 0)
                result = kSectionDamaged;
            break;
        }
    }
    inflateEnd(&z);
    *SumaCzlonka() = MemberSum{static_cast<uint32_t>(produced), memberCrc};
    // An empty member still moves the section bar on, and is complete.
    if (reporting && isize == 0 && result == kSectionOk) {
        Report(sectionPercent, false, true);
        Report(100, true, true);
    }
    if (result == kSectionDamaged && left > 0) {
        // Keep the handle at the member's end for a caller that goes on.
        LONG high = 0;
        SetFilePointer(package, static_cast<LONG>(left), &high, FILE_CURRENT);
    }
    return result;
}

namespace {

// Current position and size of the package file, for bounds checks.
bool PackageSpan(HANDLE package, uint64_t* position, uint64_t* size) {
    if (!FilePosition(package, position))
        return false;
    DWORD sizeHigh = 0;
    DWORD sizeLow = GetFileSize(package, &sizeHigh);
    if (sizeLow == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
        return false;
    *size = (static_cast<uint64_t>(sizeHigh) << 32) | sizeLow;
    return *position <= *size;
}

// Reads and checks the header and the offset table. On success *table holds
// the N + 1 offsets (the caller frees it).
SectionResult ReadHeader(HANDLE package, uint32_t* stored, uint32_t** table) {
    *table = nullptr;
    uint64_t start, fileSize;
    if (!PackageSpan(package, &start, &fileSize))
        return kSectionDamaged;
    unsigned char head[kSectionHeaderSize];
    if (!winfread(head, package, sizeof head))
        return kSectionDamaged;
    memcpy(tmp(), head, 3);
    tmp()[3] = '\0';
    if (strcmp(tmp(), header()) != 0)
        return kSectionDamaged;
    *stored = ReadLe32(head + 3);
    uint32_t count = ReadLe32(head + 11);
    *IlePlikow() = count;
    uint64_t available = fileSize - start;
    uint64_t tableBytes = 4 * (static_cast<uint64_t>(count) + 1);
    if (count == 0 || kSectionHeaderSize + tableBytes > available)
        return kSectionDamaged;
    uint32_t* offsets = static_cast<uint32_t*>(malloc(static_cast<size_t>(tableBytes)));
    if (!offsets)
        return kSectionNoMemory;
    *table = offsets;
    unsigned char* raw = reinterpret_cast<unsigned char*>(offsets);
    if (!winfread(raw, package, static_cast<DWORD>(tableBytes)))
        return kSectionDamaged;
    for (uint32_t i = 0; i <= count; ++i)
        offsets[i] = ReadLe32(raw + 4 * i);
    if (offsets[0] != kSectionFixedSize + 4 * static_cast<uint64_t>(count) || offsets[count] > available)
        return kSectionDamaged;
    for (uint32_t i = 0; i < count; ++i)
        if (offsets[i + 1] < offsets[i] || offsets[i + 1] - offsets[i] < kMinMemberSize)
            return kSectionDamaged;
    return kSectionOk;
}

HANDLE CreateNew(const char* path) {
    return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The errors of CREATE_NEW when a name is taken: a file or link (exists), or
// a folder or a file that refuses (access denied).
bool InTheWay(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
}

SectionResult ExtractMembers(const char* target, unsigned short mode, HANDLE package, const uint32_t* offsets) {
    uint32_t count = *IlePlikow();
    HANDLE list = winfopen(lista(), true);
    if (list == INVALID_HANDLE_VALUE)
        return kSectionWriteFailed;
    SectionResult result = dekompresjagz(package, offsets[1] - offsets[0], list, kModePlain, 0);
    CloseHandle(list);
    if (result != kSectionOk)
        return result;
    list = winfopen(lista(), false);
    if (list == INVALID_HANDLE_VALUE)
        return kSectionWriteFailed;
    ReaderReset();
    LastParent()[0] = '\0';
    for (uint32_t k = 1; k < count && result == kSectionOk; ++k) {
        if (*ZatrzymajRozpakowywanie()) {
            result = kSectionStopped;
            break;
        }
        result = dircat(list, target);
        if (result != kSectionOk)
            break;
        // CREATE_NEW never opens what is there, a link included. Only when
        // something is in the way is it looked at and moved aside, so that a
        // fresh installation costs one call per file as it always did.
        HANDLE output = CreateNew(tmp());
        if (output == INVALID_HANDLE_VALUE && InTheWay(GetLastError())) {
            result = ZrobMiejsce(tmp());
            if (result != kSectionOk)
                break;
            output = CreateNew(tmp());
        }
        if (output == INVALID_HANDLE_VALUE) {
            result = kSectionWriteFailed;
            break;
        }
        if (!ZapisaneDodaj(tmp(), false)) {
            CloseHandle(output);
            DeleteFileA(tmp());
            result = kSectionNoMemory;
            break;
        }
        size_t entry = ZapisaneIle() - 1;
        result = dekompresjagz(package, offsets[k + 1] - offsets[k], output, mode, k);
        if (!CloseHandle(output) && result == kSectionOk)
            result = kSectionWriteFailed;
        if (result == kSectionOk)
            ZapisaneUstawSume(entry, SumaCzlonka()->size, SumaCzlonka()->crc);
    }
    CloseHandle(list);
    return result;
}

} // namespace

SectionResult RozpakujSekcje(const char* target, unsigned short mode, HANDLE package) {
    *crc32(0, true) = 0;
    Reported()[0] = Reported()[1] = -1;
    ZapisaneReset();
    uint32_t stored = 0;
    uint32_t* offsets = nullptr;
    SectionResult result = ReadHeader(package, &stored, &offsets);
    if (result == kSectionOk)
        result = ExtractMembers(target, mode, package, offsets);
    free(offsets);
    if (result == kSectionOk && static_cast<uint32_t>(*crc32(0, true)) != stored)
        result = kSectionDamaged;
    if (result != kSectionOk)
        ZapisaneCofnij();
    LogLine("section %s: %u members, checksum %08lX: %s", target, *IlePlikow(), static_cast<unsigned long>(stored),
            result == kSectionOk ? "ok" : result == kSectionDamaged ? "damaged, taken back" : "not written, taken back");
    return result;
}

bool MiejsceNaSciezki(size_t destinationLength, size_t longestPath, size_t longestFolder) {
    size_t uninstallFolder = destinationLength + kRecordSuffixLongest - strlen("\\Language.lng");
    return destinationLength + kRecordSuffixLongest <= kMaxPath && uninstallFolder <= kMaxFolderPath &&
           destinationLength + 1 + longestPath <= kMaxPath && destinationLength + 1 + longestFolder <= kMaxFolderPath;
}

SectionResult NajdluzszeSciezki(HANDLE package, size_t* longestPath, size_t* longestFolder) {
    *longestPath = *longestFolder = 0;
    uint64_t start;
    if (!FilePosition(package, &start))
        return kSectionDamaged;
    uint32_t stored = 0;
    uint32_t* offsets = nullptr;
    SectionResult result = ReadHeader(package, &stored, &offsets);
    if (result == kSectionOk) {
        HANDLE list = winfopen(lista(), true);
        if (list == INVALID_HANDLE_VALUE) {
            result = kSectionWriteFailed;
        } else {
            result = dekompresjagz(package, offsets[1] - offsets[0], list, kModePlain, 0);
            CloseHandle(list);
        }
    }
    free(offsets);
    HANDLE list = result == kSectionOk ? winfopen(lista(), false) : INVALID_HANDLE_VALUE;
    if (list != INVALID_HANDLE_VALUE) {
        ReaderReset();
        char line[MAX_PATH];
        int got;
        while ((got = ffscanf(list, line)) == 1) {
            size_t length = strlen(line);
            const char* slash = strrchr(line, '\\');
            size_t folder = slash ? static_cast<size_t>(slash - line) : 0;
            *longestPath = length > *longestPath ? length : *longestPath;
            *longestFolder = folder > *longestFolder ? folder : *longestFolder;
        }
        if (got < 0)
            result = kSectionDamaged;
        CloseHandle(list);
    } else if (result == kSectionOk) {
        result = kSectionWriteFailed;
    }
    if (!SeekTo(package, start) && result == kSectionOk)
        result = kSectionDamaged;
    return result;
}

namespace {

// A failure report: the message, the failure flag, and the close request
// that ends every page without the cancel question.
void ReportFailure(const char* text) {
    Tell(text, Brondale(), MB_ICONERROR, IDOK);
    *Error_2() = 1;
    SendMessageA(HwndMain()[0], WM_CLOSE, 0, 0);
}

} // namespace

void Error_1() { ReportFailure("File is corupted."); }

void BladZapisu() { ReportFailure(kWriteFailureText); }

void BrakPamieci() { ReportFailure(GetLang(19, DefaultText(19))); }

SectionResult Rozpakowanie(char* target, unsigned short mode, HANDLE package) {
    SectionResult result = RozpakujSekcje(target, mode, package);
    ZglosWynik(result);
    return result;
}

void ZglosWynik(SectionResult result) {
    if (result == kSectionNoMemory) {
        BrakPamieci();
    } else if (result == kSectionWriteFailed) {
        BladZapisu();
    } else if (result == kSectionLink) {
        char text[512];
        snprintf(text, sizeof text, "%s\n\n%s", GetLang(21, DefaultText(21)), SciezkaOdmowy());
        ReportFailure(text);
    } else if (result == kSectionCancelled) {
        // The user's own choice: nothing to tell, the wizard ends.
        *Error_2() = 1;
        SendMessageA(HwndMain()[0], WM_CLOSE, 0, 0);
    } else if (result != kSectionOk && result != kSectionStopped) {
        Error_1();
    }
}

void RozpakujJezyki() {
    if (WyszukajRc(HandleToGzc())) {
        Error_1();
        return;
    }
    for (int i = 0; i < 2; ++i) {
        char key[4];
        char target[MAX_PATH];
        snprintf(key, sizeof key, "%d", 8 + i);
        dircfg(key, target, 0, sizeof target);
        Rozpakowanie(target, static_cast<unsigned short>(2 * i), *HandleToGzc());
    }
}
