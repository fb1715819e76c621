// Launches at the end of the installation (Windows only).
#ifndef BRONDALE_FINISH_LAUNCH_H
#define BRONDALE_FINISH_LAUNCH_H

// Opens file through the shell with directory as working folder (or none).
void howtorun(const char* file, const char* directory);
// Starts the [Run] entries whose [silent] value is exactly "1" (always true)
// or "0" (always false), 100 ms apart. Buffers are working storage.
int runfrominitcfg(char* value, char* path, char* number, char* flag, bool always);

#endif
