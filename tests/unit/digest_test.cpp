// The SHA-256 digests that seal the uninstall record: CNG under Wine,
// the stand-in's own SHA-256 natively; both must give the standard values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "helpers.h"
#include "trust/digest.h"

TEST(Digest, FilesAndBytesGiveTheStandardSha256) {
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
        char bytes[kDigestTextSize];
        memset(bytes, 'q', sizeof bytes);
        EXPECT_TRUE(BytesDigest(r.content.data(), r.content.size(), bytes)) << r.content.size() << " bytes in memory";
        EXPECT_STREQ(r.digest, bytes) << r.content.size() << " bytes in memory";
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

// A seal digest is the SHA-256 of the Uninstall key's name, a zero byte and
// the bytes: the same bytes sealed under another key never check.
TEST(Digest, SealsCoverTheKeyNameBeforeTheBytes) {
    const char* p = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\P";
    const char* q = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Q";
    struct Row {
        const char* key;
        std::string bytes;
        const char* digest;
    } rows[] = {
        {"", "", "6e340b9cffb37a989ca544e6bb780a2c78901d3fb33738768511a30617afa01d"},
        {p, "abc", "a314f4e48b3fbcfa30c9ff1ff678fbe3d36f3bf9b26f867dc22da5ac6d0d5211"},
        {q, "abc", "db896f4c49aec44624717d96d3dff921b953b2a5be911079fa6671618167cd0a"},
        {p, std::string(100000, 'a'), "04a1b7511511ac2684a62804843fa49c946d0213976110abfbdbc69dcee190b7"},
    };
    std::string folder = NewFolder("sealdigest");
    for (const Row& r : rows) {
        char text[kDigestTextSize] = "preset";
        EXPECT_TRUE(SealDigest(r.key, r.bytes.data(), r.bytes.size(), text)) << r.key;
        EXPECT_STREQ(r.digest, text) << r.key << ", " << r.bytes.size() << " bytes";
        std::string path = folder + "\\record.cfg";
        ASSERT_TRUE(WriteBytes(path, FromText(r.bytes)));
        strcpy(text, "preset");
        EXPECT_TRUE(SealFileDigest(r.key, path.c_str(), text));
        EXPECT_STREQ(r.digest, text) << "of the file, " << r.key;
        // The same in pieces, as the file list is sealed while it is written.
        SealHashing seal = {};
        SealBegin(&seal, r.key);
        for (size_t at = 0; at < r.bytes.size(); at += 777)
            SealAdd(&seal, r.bytes.data() + at, std::min<size_t>(777, r.bytes.size() - at));
        EXPECT_TRUE(SealEnd(&seal, text));
        EXPECT_STREQ(r.digest, text) << "in pieces, " << r.key;
    }
    char text[kDigestTextSize] = "preset";
    EXPECT_FALSE(SealFileDigest(p, (folder + "\\missing.cfg").c_str(), text));
    EXPECT_STREQ("", text);
    SealHashing never = {};
    strcpy(text, "preset");
    EXPECT_FALSE(SealEnd(&never, text)) << "a seal never begun gives no digest";
    EXPECT_STREQ("", text);
}
