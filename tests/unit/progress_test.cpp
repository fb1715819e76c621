// Progress reports and the stop request of the program section's extraction.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "helpers.h"
#include "package/extract.h"
#include "base/state.h"

namespace {

std::vector<std::pair<bool, short>>& Reports() {
    static std::vector<std::pair<bool, short>> reports;
    return reports;
}

void Record(short value, bool bar) { Reports().push_back({bar, value}); }

// Stops the extraction once the member bar passes half way.
void StopHalfWay(short value, bool bar) {
    Record(value, bar);
    if (bar && value >= 50)
        *StopExtraction() = 1;
}

class Progress : public ::testing::Test {
protected:
    void SetUp() override {
        Reports().clear();
        *PaczkaZProgramem() = 1;
        *ProgressReporter() = Record;
        *StopExtraction() = 0;
    }
    void TearDown() override {
        *PaczkaZProgramem() = 0;
        *ProgressReporter() = nullptr;
        *StopExtraction() = 0;
    }
    SectionResult Extract(const std::vector<SectionFile>& files, const std::string& target) {
        std::string file = NewFolder("progress-pkg") + "\\section.bin";
        EXPECT_TRUE(WriteBytes(file, Section(files)));
        HANDLE h = OpenForReading(file);
        SectionResult r = ExtractSection(target.c_str(), kModePlain, h);
        CloseHandle(h);
        return r;
    }
};

} // namespace

TEST_F(Progress, ReportsOnlyChangesWithTheFormulasValues) {
    std::vector<SectionFile> files = {
        {"a.txt", "", FromText("small")}, {"empty.dat", "", {}}, {"big.bin", "", Noise(5u << 20, 3)}};
    // The writer keeps this order: the empty file is not last.
    std::string target = NewFolder("progress");
    ASSERT_EQ(kSectionOk, Extract(files, target));

    short last[2] = {-1, -1};
    std::vector<short> sectionValues;
    for (const auto& r : Reports()) {
        EXPECT_NE(last[r.first], r.second) << "a repeated value was sent";
        EXPECT_GE(r.second, 0);
        EXPECT_LE(r.second, 100);
        last[r.first] = r.second;
        if (!r.first)
            sectionValues.push_back(r.second);
    }
    // N = 4 members: the path list shows 2/4, a.txt 2/4 again (not sent),
    // the empty file 3/4, big.bin 4/4. Reports closer together than the
    // page can show may be left out, but never the first or 100.
    ASSERT_FALSE(sectionValues.empty());
    EXPECT_EQ(50, sectionValues.front());
    EXPECT_EQ(100, sectionValues.back());
    for (short v : sectionValues)
        EXPECT_TRUE(v == 50 || v == 75 || v == 100) << v;
    EXPECT_EQ(100, last[0]) << "the last member shows 100 on the section bar";
    EXPECT_EQ(100, last[1]) << "the last byte of a member shows 100";
    EXPECT_LT(Reports().size(), 2u * 101u * 4u) << "messages do not grow with the size of the files";
}

TEST_F(Progress, NothingIsReportedOutsideTheProgramSection) {
    *PaczkaZProgramem() = 0;
    ASSERT_EQ(kSectionOk, Extract({{"a.txt", "", Noise(100000, 1)}}, NewFolder("quiet")));
    EXPECT_TRUE(Reports().empty());
}

TEST_F(Progress, StopRequestEndsTheExtractionAndTakesBackItsFiles) {
    std::string target = NewFolder("stop");
    ASSERT_TRUE(WriteBytes(target + "\\kept.txt", FromText("was here")));
    *ProgressReporter() = StopHalfWay;
    std::vector<SectionFile> files = {{"first.txt", "", FromText("first")},
                                      {"sub\\big.bin", "", Noise(8u << 20, 9)},
                                      {"sub\\after.txt", "", FromText("after")}};
    EXPECT_EQ(kSectionStopped, Extract(files, target));
    std::vector<std::string> expected = {"kept.txt"};
    EXPECT_EQ(expected, ListTree(target));
}

TEST_F(Progress, AnEmptyLastMemberStillEndsAt100) {
    ASSERT_EQ(kSectionOk, Extract({{"a.txt", "", Noise(3000, 2)}, {"z.dat", "", {}}}, NewFolder("empty-last")));
    ASSERT_FALSE(Reports().empty());
    short last[2] = {-1, -1};
    for (const auto& r : Reports())
        last[r.first] = r.second;
    EXPECT_EQ(100, last[0]);
    EXPECT_EQ(100, last[1]);
}

#ifndef _WIN32
// With the clock moving on between reports (the stand-in's tick count),
// every change of value goes through, with the formula's values.
TEST_F(Progress, EveryChangeIsReportedWhenThePageCanShowIt) {
    PosixSetTickCount(1000, 120);
    std::vector<SectionFile> files = {
        {"a.txt", "", FromText("small")}, {"empty.dat", "", {}}, {"big.bin", "", Noise(1u << 20, 3)}};
    ASSERT_EQ(kSectionOk, Extract(files, NewFolder("progress-all")));
    std::vector<short> section, member;
    for (const auto& r : Reports())
        (r.first ? member : section).push_back(r.second);
    std::vector<short> expected = {50, 75, 100};
    EXPECT_EQ(expected, section);
    // The path list shows 100 (a.txt and the empty file repeat it, not
    // sent); big.bin comes out block by block, its values rising to 100.
    ASSERT_FALSE(member.empty());
    EXPECT_EQ(100, member.front());
    std::vector<short> big(member.begin() + 1, member.end());
    ASSERT_GE(big.size(), 4u) << ::testing::PrintToString(member);
    EXPECT_TRUE(std::is_sorted(big.begin(), big.end())) << ::testing::PrintToString(big);
    EXPECT_LT(big.front(), 100);
    EXPECT_EQ(100, big.back());
}

TEST_F(Progress, ReportsCloserThanTheIntervalAreLeftOutButNot100) {
    PosixSetTickCount(5000, 0);  // the clock stands still
    ASSERT_EQ(kSectionOk, Extract({{"big.bin", "", Noise(1u << 20, 4)}}, NewFolder("progress-still")));
    // The path list shows 2/2 and 100 on both bars; big.bin's first block
    // still shows that it started, its later blocks come too close together,
    // and its end is 100 again.
    ASSERT_EQ(4u, Reports().size()) << ::testing::PrintToString(Reports());
    std::vector<std::pair<bool, short>> expected = {{false, 100}, {true, 100}, Reports()[2], {true, 100}};
    EXPECT_TRUE(Reports()[2].first);
    EXPECT_LT(Reports()[2].second, 100);
    EXPECT_EQ(expected, Reports());
}
#endif
