// Fuzz target: the registry value texts. The input is split at zero bytes
// into: hexadecimal text, key path, pattern, text, replacement, destination
// folder, product name and a value for the dynamic path. Every buffer is
// allocated at exactly the size its function's contract names, so that the
// sanitizer sees any write past it.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "finish/values.h"
#include "base/state.h"
#include "platform/win32api.h"

namespace {

std::vector<std::string> Split(const uint8_t* data, size_t size, size_t parts) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t i = 0; i <= size && out.size() < parts; ++i) {
        if (i == size || data[i] == 0) {
            out.emplace_back(reinterpret_cast<const char*>(data) + start, i - start);
            start = i + 1;
        }
    }
    out.resize(parts);
    return out;
}

// A heap buffer of exactly size bytes holding text cut to size - 1.
std::unique_ptr<char[]> Buffer(const std::string& text, size_t size) {
    std::unique_ptr<char[]> b(new char[size]);
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    memcpy(b.get(), text.data(), n);
    b[n] = '\0';
    return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> p = Split(data, size, 8);

    for (char c : p[0])
        (void)hextoi(c);
    std::unique_ptr<char[]> hex = Buffer(p[0], MAX_PATH);
    convertvalue(reinterpret_cast<unsigned char*>(hex.get()));

    std::unique_ptr<char[]> key = Buffer(p[1], MAX_PATH);
    (void)FindKeyType(key.get());

    std::unique_ptr<char[]> pattern = Buffer(p[2], MAX_PATH), text = Buffer(p[3], MAX_PATH),
                            replacement = Buffer(p[4], MAX_PATH), work(new char[MAX_PATH]), marker = Buffer("0", 2);
    (void)replacestr(pattern.get(), text.get(), work.get(), marker.get(), replacement.get());

    std::unique_ptr<char[]> destination = Buffer(p[5], MAX_PATH);
    snprintf(NazwaProgramu(), 64, "%s", p[6].c_str());
    std::unique_ptr<char[]> value = Buffer(p[7], MAX_PATH), type = Buffer("0", 2);
    SciezkaDynamicznie(value.get(), type.get(), destination.get());
    return 0;
}
