// Fuzz target: the packing tool's icon reader on a hostile setup.ico (the
// input). What ParseIcon accepts are the images its directory names, each
// copied once (never more bytes than the file holds), and they become icon
// group 1 of a sound program; lint's check (no images wanted) agrees.
#include <cstdint>
#include <string>
#include <vector>

#include "base/format.h"
#include "common.h"
#include "pack/identity.h"
#include "pack/peimage.h"
#include "program.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string icon(reinterpret_cast<const char*>(data), size), problem, checked;
    std::vector<IconImage> images;
    bool parsed = ParseIcon(icon, &images, &problem);
    Check(parsed == ParseIcon(icon, nullptr, &checked), "lint's check disagrees", problem + " / " + checked);
    if (!parsed) {
        Check(!problem.empty(), "refused without a reason");
        return 0;
    }
    size_t copied = 0;
    for (size_t i = 0; i < images.size(); ++i) {
        size_t at = ReadLe32(data + 6 + 16 * i + 12);
        copied += images[i].data.size();
        Check(images[i].data == Bytes(data + at, data + at + images[i].data.size()), "an image is not its bytes");
    }
    Check(images.size() == ReadLe16(data + 4) && copied <= size, "more images or bytes than the file holds");

    InstallerIdentity identity;
    identity.name = "Fuzz";
    identity.fileName = "Setup.exe";
    identity.icon = icon;
    Bytes stamped;
    std::string error;
    Check(StampInstaller(SoundProgram(static_cast<unsigned>(size)), identity, &stamped, &error),
          "a sound program refused an icon ParseIcon accepted", error);
    std::vector<Resource> back;
    Check(ReadResources(stamped, &back, &error), "the stamped program does not read back", error);
    size_t icons = 0;
    for (const Resource& r : back) {
        if (!r.type.named && r.type.id == kResourceGroupIcon && !r.name.named && r.name.id == 1)
            Check(r.data.size() == 6 + 14 * images.size(), "icon group 1 does not list every image");
        icons += !r.type.named && r.type.id == kResourceIcon;
    }
    Check(icons == images.size(), "not every image became an icon");
    return 0;
}
