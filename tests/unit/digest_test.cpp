// The SHA-256 file digests that seal the uninstall record: CNG under Wine,
// the stand-in's own SHA-256 natively; both must give the standard values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "helpers.h"
#include "trust/digest.h"

TEST(Digest, FilesGiveTheStandardSha256) {
    struct Row {
        std::string content;
        const char* digest;
    } rows[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    std::string folder = NewFolder("digest");
    for (const Row& r : rows) {
        std::string path = folder + "\\file.bin";
        ASSERT_TRUE(WriteBytes(path, FromText(r.content)));
        char text[kDigestTextSize];
        EXPECT_TRUE(FileDigest(path.c_str(), text)) << r.content.size() << " bytes";
        EXPECT_STREQ(r.digest, text) << r.content.size() << " bytes";
        char fromMemory[kDigestTextSize];
        EXPECT_TRUE(BytesDigest(r.content.data(), r.content.size(), fromMemory)) << r.content.size() << " bytes";
        EXPECT_STREQ(r.digest, fromMemory) << r.content.size() << " bytes in memory";
    }
}

TEST(Digest, AFileThatCannotBeReadHasNone) {
    std::string folder = NewFolder("nodigest");
    char text[kDigestTextSize] = "preset";
    EXPECT_FALSE(FileDigest((folder + "\\missing.cfg").c_str(), text));
    EXPECT_STREQ("", text);
    strcpy(text, "preset");
    EXPECT_FALSE(FileDigest(folder.c_str(), text)) << "a folder";
    EXPECT_STREQ("", text);
}
