// The running checksum and the scramble key, shared by reader and writer.
#include <gtest/gtest.h>

#include "helpers.h"
#include "package/extract.h"
#include "base/format.h"

TEST(Checksum, AddsBytesModuloAllOnes) {
    const unsigned char abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(294u, ChecksumAdd(0, abc, 3));

    uint64_t* sum = crc32(0, true);
    *sum = 0xFFFFFFFEu;
    crc32(1, false);
    EXPECT_EQ(0u, *sum) << "0xFFFFFFFE + 1 wraps to 0, not to 0xFFFFFFFF";
    *sum = 0xFFFFFFFEu;
    crc32(2, false);
    EXPECT_EQ(1u, *sum);

    const unsigned char two[] = {2};
    EXPECT_EQ(1u, ChecksumAdd(0xFFFFFFFEu, two, 1));
}

TEST(Checksum, BlockSumEqualsByteSum) {
    Bytes data = Noise(3 * 65536 + 17, 4);
    uint64_t* sum = crc32(0, true);
    *sum = 0xFFFFFF00u;
    for (unsigned char b : data)
        crc32(b, false);
    EXPECT_EQ(*sum, ChecksumAdd(0xFFFFFF00u, data.data(), data.size()));
}

TEST(Checksum, SumPastTwoToThe32DiffersFromModulo2To32) {
    // 17 MiB of 0xFF: the byte sum passes 2^32, so a sum kept modulo 2^32
    // would store a different value.
    Bytes ones(17u << 20, 0xFF);
    uint64_t total = 255ull * ones.size();
    ASSERT_GT(total, 0xFFFFFFFFull);
    uint64_t sum = ChecksumAdd(0, ones.data(), ones.size());
    EXPECT_EQ(total % 0xFFFFFFFFull, sum);
    EXPECT_NE(total % 0x100000000ull, sum);
}

TEST(ScrambleKey, IsFixedNonZeroAndRestartsPerMember) {
    unsigned char a[kScrambleKeySize], b[kScrambleKeySize];
    ScrambleKey(kVendorRegistryPath, kInstallerName, a);
    ScrambleKey("Software\\Varkel\\Brondale", "Brondale", b);
    EXPECT_EQ(0, memcmp(a, b, sizeof a));
    for (unsigned char k : a)
        EXPECT_NE(0, k);

    // Scrambling in two blocks gives the same as in one, and twice is a no-op.
    Bytes data = Noise(100, 1), once = data, split = data;
    size_t position = 0;
    ScrambleBlock(once.data(), once.size(), a, &position);
    EXPECT_EQ(100u % kScrambleKeySize, position);
    position = 0;
    ScrambleBlock(split.data(), 40, a, &position);
    ScrambleBlock(split.data() + 40, 60, a, &position);
    EXPECT_EQ(once, split);
    EXPECT_EQ(data[30] ^ a[1], once[30]);
    position = 0;
    ScrambleBlock(once.data(), once.size(), a, &position);
    EXPECT_EQ(data, once);
}
