// What build shows on a terminal while it packs: bytes read, the rate and
// the time left, on one line that it rewrites.
#ifndef BRONDALE_PACK_PROGRESS_H
#define BRONDALE_PACK_PROGRESS_H

#include <cstdint>
#include <string>

// "packing: 123.4 of 550.0 MB (22%), 12.3 MB/s, 0:35 left" after seconds;
// rate and time left only once a second has passed and something was read.
std::string ProgressLine(uint64_t done, uint64_t total, double seconds);

#endif
