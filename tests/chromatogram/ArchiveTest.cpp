#include "chromatogram/Archive.h"
#include "chromatogram/Errors.h"
#include "TestDoubles.h"
#include "support/StgBuilder.h"

#include <gtest/gtest.h>

#include <cmath>

using chromatogram::Archive;
using fixtures::ArchiveWriter;
using fixtures::TextEncoding;

namespace {

std::string ReadOneText(const std::string& bytes) {
    platform::MemoryStream stream(bytes);
    Archive archive(stream);
    std::string text = archive.ReadText();
    EXPECT_EQ(archive.Remaining(), 0u) << "the text must consume exactly its bytes";
    return text;
}

std::string Repeat(std::string_view piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

}  // namespace

TEST(Archive, ReadsFixedSizeValuesLittleEndian) {
    const std::string bytes = ArchiveWriter()
                                  .Int32(-2)
                                  .UInt32(0xA2D28C45)
                                  .Double(-0.1)
                                  .Bytes(std::string("\x00\x00\x00\x80", 4))  // a time after January 2038
                                  .Data();
    platform::MemoryStream stream(bytes);
    Archive archive(stream);
    EXPECT_EQ(archive.ReadInt32(), -2);
    EXPECT_EQ(archive.ReadUInt32(), 0xA2D28C45u);
    EXPECT_EQ(archive.ReadDouble(), -0.1);
    // Times are unsigned: 0x80000000 seconds is 2038-01-19 03:14:08 UTC, not a date in 1901.
    EXPECT_EQ(archive.ReadTime().time_since_epoch().count(), 2147483648LL);
}

TEST(Archive, DecodesEveryLengthPrefixAndEncoding) {
    const std::string cyrillic = "этанол";
    const std::string long300 = Repeat("ж", 300);       // needs the 2-byte length
    const std::string long70000 = Repeat("a", 70000);   // needs the 4-byte length
    struct Case {
        const char* what;
        std::string bytes;
        std::string expected;
    } cases[] = {
        {"empty", std::string(1, '\0'), ""},
        {"one-byte length, Windows-1251", ArchiveWriter().Text(cyrillic).Data(), cyrillic},
        {"length 254 still in one byte", ArchiveWriter().Text(Repeat("q", 254)).Data(), Repeat("q", 254)},
        {"two-byte length", ArchiveWriter().Text(long300).Data(), long300},
        {"four-byte length", ArchiveWriter().Text(long70000).Data(), long70000},
        {"UTF-16, one-byte length", ArchiveWriter().Text(cyrillic, TextEncoding::Utf16).Data(), cyrillic},
        {"UTF-16, two-byte length", ArchiveWriter().Text(long300, TextEncoding::Utf16).Data(), long300},
        {"UTF-16 beyond the code page", ArchiveWriter().Text("€ 😀 日本", TextEncoding::Utf16).Data(), "€ 😀 日本"},
        // The marker FF FE FF, a length byte 3, six bytes of UTF-16LE: three characters.
        {"UTF-16 by hand", std::string("\xFF\xFE\xFF\x03\x3D\x04\x30\x04\x39\x04", 10), "най"},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadOneText(c.bytes), c.expected) << c.what;
}

TEST(Archive, RejectsARepeatedUtf16Marker) {
    const std::string bytes("\xFF\xFE\xFF\xFF\xFE\xFF\x01\x41\x00", 9);
    platform::MemoryStream stream(bytes);
    Archive archive(stream);
    EXPECT_THROW(archive.ReadText(), chromatogram::BadFormatError);
}

TEST(Archive, RaisesEndOfDataForEveryValueThatRunsPastTheEnd) {
    const auto readsPastEnd = [](const std::string& bytes, auto read) {
        platform::MemoryStream stream(bytes);
        Archive archive(stream);
        EXPECT_THROW(read(archive), chromatogram::EndOfDataError) << bytes.size() << " bytes";
    };
    readsPastEnd("abc", [](Archive& a) { return a.ReadInt32(); });
    readsPastEnd("abcdefg", [](Archive& a) { return a.ReadDouble(); });
    readsPastEnd("", [](Archive& a) { return a.ReadText(); });
    readsPastEnd("\x05" "abcd", [](Archive& a) { return a.ReadText(); });
    readsPastEnd("\xFF\x10", [](Archive& a) { return a.ReadText(); });
    readsPastEnd(std::string("\xFF\xFE\xFF\x02\x41\x00\x42", 7), [](Archive& a) { return a.ReadText(); });
}

TEST(Archive, NeverAllocatesALengthTheStreamCannotHold) {
    // Lengths of 4 GiB and (in UTF-16) 8 GiB announced by a few bytes: checked against the rest
    // of the stream before anything is allocated for them.
    const std::string plain = ArchiveWriter().LengthPrefix(0xFFFFFFFF).Bytes("tail").Data();
    const std::string utf16 = ArchiveWriter().Byte(0xFF).UInt16(0xFFFE).LengthPrefix(0xFFFFFFFF).Data();
    for (const std::string& bytes : {plain, utf16}) {
        platform::MemoryStream stream(bytes);
        Archive archive(stream);
        EXPECT_THROW(archive.ReadText(), chromatogram::EndOfDataError);
    }
}

TEST(Archive, RaisesAStreamReadErrorWhenTheStreamDeliversLessThanItsSize) {
    const std::string text = ArchiveWriter().Text(Repeat("x", 40000)).Data();
    for (std::size_t delivered : {std::size_t{2}, std::size_t{6000}, text.size() - 1}) {
        ShortStream stream(text.substr(0, delivered), text.size());
        Archive archive(stream);
        EXPECT_THROW(archive.ReadText(), chromatogram::StreamReadError) << delivered;
    }
    // Bytes beyond what is read are never asked for, so a shortfall there does no harm.
    ShortStream stream(ArchiveWriter().Int32(7).Data(), 100000);
    Archive archive(stream);
    EXPECT_EQ(archive.ReadInt32(), 7);
}
