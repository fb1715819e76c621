// Positions in files that may pass 2 GiB, on both systems: the 32-bit
// Windows tool reads and writes installers larger than its long.
#ifndef BRONDALE_PACK_STREAM_LARGEFILE_H
#define BRONDALE_PACK_STREAM_LARGEFILE_H

#include <cstdint>
#include <cstdio>

// Moves f to byte at from the start; false when the seek fails.
inline bool SeekTo(FILE* f, uint64_t at) {
#ifdef _WIN32
    return _fseeki64(f, static_cast<__int64>(at), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(at), SEEK_SET) == 0;
#endif
}

// The size of f; leaves f at its end.
inline uint64_t FileSize(FILE* f) {
#ifdef _WIN32
    _fseeki64(f, 0, SEEK_END);
    return static_cast<uint64_t>(_ftelli64(f));
#else
    fseeko(f, 0, SEEK_END);
    return static_cast<uint64_t>(ftello(f));
#endif
}

#endif
