// The extraction sandbox of the section targets: writes a section to a file
// and extracts it into an empty target folder in both modes (plain with
// progress reports on, scrambled with them off). Aborts when a file handle
// stays open, anything appears outside the target or changes beside it, a
// completed section recorded a path outside the target, or a refused section
// leaves something behind in it. The target is emptied after every run.
#ifndef BRONDALE_FUZZ_SANDBOX_H
#define BRONDALE_FUZZ_SANDBOX_H

#include <cstddef>

void ExtractAndCheck(const unsigned char* section, size_t size);

#endif
