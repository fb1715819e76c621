// The two halves of a run. A run for every user that starts with a user's
// rights is the user's half: it starts an elevated copy of its own program
// (the elevated half, which does the work), hands it nothing but a command
// line, waits for it and takes back its exit code and its report of what
// to start, through a pipe only the two can use (trust/channel.h). The
// elevated half never reads from that pipe; the user's half believes a
// report only when it is whole and comes from the process it started.
// Nothing here calls the system, so both builds test it.
#ifndef BRONDALE_TRUST_HALVES_H
#define BRONDALE_TRUST_HALVES_H

#include <cstddef>

// How a process token is elevated (the values of TOKEN_ELEVATION_TYPE; 0
// when it cannot be read).
enum TokenElevation {
    kElevationDefault = 1,  // no split token: UAC off, or a standard user
    kElevationFull = 2,     // the elevated half of a split administrator token
    kElevationLimited = 3,  // the unelevated half
};

// What a process's token tells.
struct TokenFacts {
    int elevation;       // TokenElevation, 0 when it cannot be read
    bool isSystem;       // SYSTEM's token
    bool administrator;  // this process's own token only: the Administrators group is enabled in it
    char user[192];      // its user's SID as text, "" when it cannot be read
};

// True when a run for every user must start an elevated half: the
// unelevated half of a split token, or a user who is no administrator
// (the system's prompt then asks for an administrator's password). False
// for SYSTEM, an elevated token, an administrator without UAC and a token
// that cannot be read: those install in one process, as they always did.
bool NeedsElevatedHalf(const TokenFacts& token);
// True when this run may act on what an installation for one user left
// (its record and its Uninstall key under HKEY_CURRENT_USER, which the
// user's unelevated processes can change): not the elevated half of a split
// token nor a token that cannot be read, which would lend those processes
// its rights.
bool MayActForOneUser(const TokenFacts& token);

// The elevated half's report, lines of "name=value" each ended by LF:
//   brondale-half=1
//   process=<the elevated half's process id>
//   destination=<the installed folder>          at most once, before the rest
//   info=<name> | always=<entry> | chosen=<entry>  what to start, in order
//   exit=<its exit code>
// Values are single lines shorter than 260 characters; numbers decimal.
struct HalfReport {
    char* text;   // malloc'd, not terminated; null while empty
    size_t used;
    size_t size;
};
// The longest report the user's half reads.
const size_t kMaxHalfReport = 1u << 20;
// Appends one line; false (nothing appended) when value holds a line end or
// a zero, is 260 characters or longer, or memory ran out.
bool ReportAdd(HalfReport* report, const char* name, const char* value);
// Frees the text; the report is empty again.
void ReportFree(HalfReport* report);
// The whole report: the first two lines, then body's lines (the entries,
// as the finish collected them; may be empty), then the exit line.
bool ComposeReport(unsigned long process, const HalfReport& body, unsigned long exitCode, HalfReport* out);

// What the user's half makes of the bytes it read.
enum ReportVerdict {
    kReportSound,       // one whole report from that process with that exit code
    kReportMissing,     // nothing at all (the half ended before it could report)
    kReportMalformed,   // anything but exactly one whole report: a line out of place, a second report, bytes after it
    kReportForeign,     // a report that names another process
    kReportExitDiffers, // a report whose exit code is not the one the process ended with
};
ReportVerdict CheckReport(const char* bytes, size_t size, unsigned long process, unsigned long exitCode);
// The entries of a report that CheckReport found sound, one a call from
// *at (0 to begin): name (16 bytes) and value (260 bytes). False after the
// last one.
bool NextReportEntry(const char* bytes, size_t size, size_t* at, char* name, char* value);

#endif
