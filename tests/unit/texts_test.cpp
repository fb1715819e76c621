// Built-in texts and the text lookup.
#include <gtest/gtest.h>

#include <cstring>

#include "helpers.h"
#include "lang/english.h"
#include "lang/texts.h"
#include "base/scratch.h"

namespace {

// Points key 8 at path for the lookups of one test.
void ChooseLanguageFile(const std::string& path) { ScratchWrite(kScratchLanguage, path.c_str()); }

} // namespace

TEST(BuiltInTexts, AreCodePage1250Bytes) {
    // Each row: a text ID and its default spelled out in CP1250 bytes.
    struct Row {
        unsigned id;
        const char* bytes;
    } rows[] = {
        {1, "Czy napewno chcesz zainstalowa\xE6 program"},
        {2, "Zako\xF1" "cz"},
        {5, "Zgadzam si\xEA z warunkami umowy licencyjnej."},
        {7, "Wybierz folder w kt\xF3rym zostanie zainstalowany program:"},
        {8, "Wybrana \x9C" "cie\xBFka jest nieprawid\xB3owa."},
        {9, "Przerwa\xE6 instalacj\xEA?"},
        {10, "Post\xEAp instalacji:"},
        {14, "Utw\xF3rz skr\xF3ty na pulpicie."},
        {16, "Poka\xBF plik informacji ko\xF1" "cowej."},
        {18, "po zako\xF1" "czeniu instalacji."},
    };
    for (const Row& r : rows)
        EXPECT_STREQ(r.bytes, DefaultText(r.id)) << "text " << r.id;
    EXPECT_EQ(Zakoncz(), DefaultText(2));
    EXPECT_EQ(Dalej(), DefaultText(4));
    EXPECT_STREQ("", DefaultText(12));
    EXPECT_STREQ("", DefaultText(99));
    EXPECT_STREQ("", DefaultText(22));
    EXPECT_STREQ("", DefaultText(30)) << "30 to 37 are the uninstaller's";
    EXPECT_STREQ("", DefaultText(48)) << "48 and 49 too";
    EXPECT_STREQ("", DefaultText(44));
    EXPECT_STREQ("", DefaultText(57));
    // The texts an elevated run shows about what it did not start and about
    // a destination through a link, an older version, a folder name the code
    // page cannot write, a folder others control or made meanwhile, another
    // run of the product and a folder left unrecovered: whole within a
    // lookup's 255 characters.
    for (unsigned id : {38u, 39u, 45u, 46u, 47u, 50u, 51u, 52u, 53u, 54u, 55u, 56u}) {
        EXPECT_GT(strlen(DefaultText(id)), 40u) << id;
        EXPECT_LE(strlen(DefaultText(id)), 255u) << id;
    }
    const char start39[] = "Wybrany folder jest dowi\xB9zaniem";
    EXPECT_EQ(0, strncmp(DefaultText(39), start39, sizeof start39 - 1)) << DefaultText(39);
}

// A new product's English.lng and lint's check of language files take the
// installer's text IDs from the English table: it must name every ID that
// has a built-in text, and only those outside the uninstaller's.
TEST(BuiltInTexts, EveryIdHasAnEnglishText) {
    for (unsigned id = 0; id < 64; ++id) {
        if (IsUninstallerText(id))
            continue;
        bool english = false;
        for (const EnglishText& t : kEnglishTexts)
            english = english || (t.id == id && t.text[0] != '\0');
        EXPECT_EQ(DefaultText(id)[0] != '\0', english) << "text " << id;
    }
}

TEST(GetLang, ReadsTheChosenFileAndFallsBackToTheDefault) {
    std::string folder = NewFolder("lang");
    std::string file = folder + "\\English.lng";
    std::string longText(300, 'x');
    ASSERT_TRUE(WriteBytes(file, FromText("[LNG]\r\n9 = Abort the installation?\r\n4=\"Next\"\r\n15=" + longText +
                                          "\r\n")));
    ChooseLanguageFile(file);
    EXPECT_STREQ("Abort the installation?", GetLang(9, DefaultText(9))) << "names match without regard to case";
    EXPECT_STREQ("Next", GetLang(4, Dalej())) << "one pair of quotes is removed";
    EXPECT_STREQ(DefaultText(13), GetLang(13, DefaultText(13))) << "a missing ID gives the default";
    EXPECT_EQ(std::string(255, 'x'), GetLang(15, DefaultText(15))) << "cut to 255 characters";

    ChooseLanguageFile(folder + "\\Polski.lng");
    EXPECT_STREQ(DefaultText(9), GetLang(9, DefaultText(9))) << "a missing file gives the default";
    ChooseLanguageFile(folder);
    EXPECT_STREQ(DefaultText(3), GetLang(3, DefaultText(3))) << "key 8 still naming the Lang folder";
}
