// Launches at the end of the installation (Windows only), by the route
// finish/launchas.h chooses for each file.
#ifndef BRONDALE_FINISH_LAUNCH_H
#define BRONDALE_FINISH_LAUNCH_H

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

#endif
