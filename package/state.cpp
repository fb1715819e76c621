// The section reader's state: one static per accessor, used by one
// extraction at a time. Only the stop flag is shared between threads, and
// it is atomic.
#include "package/state.h"

#include "base/format.h"

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

MemberSum* LastMemberSum() {
    static MemberSum sum;
    return &sum;
}

std::atomic<unsigned char>* StopExtraction() {
    static std::atomic<unsigned char> stop{0};
    return &stop;
}

char* RefusedPath() {
    static char path[MAX_PATH];
    return path;
}
