#include "platform/Text.h"

#include <gtest/gtest.h>

namespace {

using platform::CompareIgnoreCase;

TEST(Text, DecodesWindows1251) {
    // "этанол" in code page 1251, and the upper half's odd ones: ё, Ё, №.
    EXPECT_EQ(platform::DecodeWindows1251("\xFD\xF2\xE0\xED\xEE\xEB"), "этанол");
    EXPECT_EQ(platform::DecodeWindows1251("\xB8\xA8\xB9"), "ёЁ№");
    EXPECT_EQ(platform::DecodeWindows1251(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Text, EncodesWindows1251AndMarksWhatTheCodePageLacks) {
    EXPECT_EQ(platform::EncodeWindows1251("изопропанол"), "\xE8\xE7\xEE\xEF\xF0\xEE\xEF\xE0\xED\xEE\xEB");
    EXPECT_EQ(platform::EncodeWindows1251("a漢b"), "a?b");
    for (int byte = 0; byte < 256; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        EXPECT_EQ(platform::EncodeWindows1251(platform::DecodeWindows1251(one)), one) << byte;
    }
}

TEST(Text, DecodesUtf16LeWithoutLosingCharacters) {
    EXPECT_EQ(platform::DecodeUtf16Le(std::string("\x2D\x04\x42\x04\x30\x04", 6)), "Эта");
    EXPECT_EQ(platform::DecodeUtf16Le(std::string("\x3D\xD8\x00\xDE", 4)), "\xF0\x9F\x98\x80");  // a surrogate pair
    EXPECT_EQ(platform::DecodeUtf16Le(std::string("\x00\xD8\x41\x00", 4)), "\xEF\xBF\xBD" "A");  // unpaired
    EXPECT_EQ(platform::DecodeUtf16Le(std::string("\x41\x00\x42", 3)), "A");  // odd trailing byte
}

TEST(Text, ComparesIgnoringCase) {
    EXPECT_EQ(CompareIgnoreCase("Этанол", "этанол"), 0);
    EXPECT_EQ(CompareIgnoreCase("ЭТАНОЛ", "этанол"), 0);
    EXPECT_EQ(CompareIgnoreCase("Wine", "wINE"), 0);
    EXPECT_NE(CompareIgnoreCase("этанол", "этанол "), 0);
    EXPECT_NE(CompareIgnoreCase("ёж", "еж"), 0);
    EXPECT_LT(CompareIgnoreCase("alpha", "Beta"), 0);
    EXPECT_GT(CompareIgnoreCase("gamma", "Beta"), 0);
    EXPECT_LT(CompareIgnoreCase("Zebra", "антилопа"), 0);  // Latin before Cyrillic
    EXPECT_LT(CompareIgnoreCase("Абрикос", "банан"), 0);
}

TEST(Text, FoldsCaseAsTheComparisonDoes) {
    EXPECT_EQ(platform::FoldCase("ЭтаНОЛ"), platform::FoldCase("этанол"));
    EXPECT_EQ(platform::FoldCase("Wine"), "wine");
    EXPECT_EQ(platform::FoldCase("Straße"), platform::FoldCase("STRASSE"));  // full folding: ß is ss
    EXPECT_EQ(CompareIgnoreCase("Straße", "STRASSE"), 0);
    EXPECT_NE(platform::FoldCase("ёж"), platform::FoldCase("еж"));
}

TEST(Text, UpperCasesAndCountsCharacters) {
    EXPECT_EQ(platform::ToUpper("/srv/Данные"), "/SRV/ДАННЫЕ");
    EXPECT_EQ(platform::CharacterCount("Данные"), 6u);
}

}  // namespace
