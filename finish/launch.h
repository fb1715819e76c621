// Launches at the end of the installation (Windows only), by the route
// finish/launchas.h chooses for each file.
#ifndef BRONDALE_FINISH_LAUNCH_H
#define BRONDALE_FINISH_LAUNCH_H

#include <cstddef>

#include "trust/halves.h"

// Opens the information file (a name relative to directory, the working
// folder).
void howtorun(const char* file, const char* directory);
// Starts the [Run] entries whose [silent] value is exactly "1" (always true)
// or "0" (always false), 100 ms apart, each a path relative to destination.
// Buffers are working storage.
int runfrominitcfg(char* value, char* path, char* number, char* flag, bool always, const char* destination);
// Names the files that the launches above did not open because the run is
// elevated (text 38, a warning; the log in a silent run), once, and
// forgets them. Nothing when every file was opened.
void ReportNotStarted();

// The elevated half of a run with a user's half: from now on the launches
// above open nothing and write each file into a report for that half
// instead (info, always, chosen, after the destination; trust/halves.h).
void LaunchesForUserHalf();
// What they wrote.
const HalfReport& CollectedLaunches();
// The user's half: opens the entries of a report that CheckLaunchList
// (finish/launchlist.h) found startable, in its order, by the routes above,
// the information file in destination and each [Run] entry 100 ms after the
// one before.
void StartReported(const char* bytes, size_t size, const char* destination);

#endif
