// Fuzz target: the packing tool's PE reader on a hostile installer program
// (the input). What ReadResources accepts it copies at most once (never
// more bytes than the file holds), and WriteResources of it reads back the
// same; the product's identity and an icon stamped onto it read back too,
// or are refused with a reason.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/format.h"
#include "common.h"
#include "pack/identity.h"
#include "pack/peimage.h"
#include "program.h"

namespace {

// Reads out back and checks it holds what was written.
void ReadsBack(const Bytes& out, const std::vector<Resource>& written, const char* what) {
    std::vector<Resource> back;
    std::string error;
    Check(ReadResources(out, &back, &error), what, error);
    Check(ByKey(back) == ByKey(written), what, "read back differently");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes image(data, data + size);
    std::vector<Resource> resources;
    std::string error;
    if (!ReadResources(image, &resources, &error)) {
        Check(!error.empty() && resources.empty(), "refused without a reason");
        return 0;
    }
    size_t copied = 0;
    for (const Resource& r : resources)
        copied += r.data.size();
    Check(copied <= size, "more data copied than the file holds");
    Bytes out;
    if (WriteResources(image, resources, &out, &error)) {
        // Only the headers change: everything after them stays where it was.
        size_t headers = ReadLe32(&image[ReadLe32(&image[0x3C]) + 24 + 60]);
        Check(out.size() >= size && std::equal(image.begin() + static_cast<long>(headers), image.end(),
                                                out.begin() + static_cast<long>(headers)),
              "the rewritten program moved or changed what follows its headers");
        ReadsBack(out, resources, "the rewritten program does not read back");
    } else {
        Check(!error.empty(), "not rewritten, without a reason");
    }
    InstallerIdentity identity;
    identity.name = "Fuzz";
    identity.version = "1.2";
    identity.fileName = "Setup.exe";
    identity.icon = std::string("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\x30\0\0\0\x16\0\0\0", 22) +
                    std::string("\x28\0\0\0", 4) + std::string(44, 'i');
    Bytes stamped;
    if (StampInstaller(image, identity, &stamped, &error)) {
        std::vector<Resource> back;
        Check(ReadResources(stamped, &back, &error), "the stamped program does not read back", error);
    } else {
        Check(!error.empty(), "not stamped, without a reason");
    }
    return 0;
}
