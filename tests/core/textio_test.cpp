// Text I/O primitives: number masks, the text-to-number rule, the number write form, field and
// line reads, Shift-JIS conversion and atomic file replacement.

#include "testsupport.h"
#include "textio/codec.h"
#include "textio/csv.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "textio/textreader.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

using namespace tamso;
using namespace tamso::textio;

struct MaskCase {
    double value;
    const char* mask;
    const char* expected;
};

void PrintTo(const MaskCase& c, std::ostream* os) {
    *os << c.value << " \"" << c.mask << "\"";
}

class NumberMask : public ::testing::TestWithParam<MaskCase> {};

TEST_P(NumberMask, FormatsAsAPersonReadsIt) {
    const MaskCase& c = GetParam();
    EXPECT_EQ(formatNumber(c.value, c.mask), c.expected) << c.value << " with \"" << c.mask << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Examples, NumberMask,
    ::testing::Values(
        // The result fields.
        MaskCase{0.05237, "#0.000", "0.052"}, MaskCase{12.3456, "#0.000", "12.346"},
        MaskCase{5.5, "#00.00", "05.50"}, MaskCase{25.456, "#00.00", "25.46"},
        MaskCase{9.5, "#00.00", "09.50"}, MaskCase{0.0000123, "0.00E+00", "1.23E-05"},
        MaskCase{0, "0.00E+00", "0.00E+00"}, MaskCase{2.064e-4, "0.00E+00", "2.06E-04"},
        MaskCase{123456, "0.00E+00", "1.23E+05"}, MaskCase{9.996e-5, "0.00E+00", "1.00E-04"},
        MaskCase{1.5e-123, "0.00E+00", "1.50E-123"},
        // The measured exposure field.
        MaskCase{2.58e-4, "0.00E+0", "2.58E-4"}, MaskCase{2.9437739e-5, "0.00E+0", "2.94E-5"},
        MaskCase{2.5861e-4, "0.00E+0", "2.59E-4"}, MaskCase{3.0e12, "0.00E+0", "3.00E+12"},
        // The spectrum listing.
        MaskCase{0.5, "0000.0", "0000.5"}, MaskCase{150, "0000.0", "0150.0"},
        MaskCase{1, "0.00000", "1.00000"}, MaskCase{0, "0.00000", "0.00000"}, MaskCase{50, " 00.", " 50."},
        MaskCase{100, " 000.", " 100."}, MaskCase{8, " 00.", " 08."}, MaskCase{25.4, " 00.0", " 25.4"},
        MaskCase{0, " 0.00E+00", " 0.00E+00"},
        // Tube output and ambient dose files.
        MaskCase{40, "###.# ", "40. "}, MaskCase{52.25, "###.# ", "52.3 "}, MaskCase{0.5, "###.# ", ".5 "},
        MaskCase{2.58e-5, "0.00E+00 ", "2.58E-05 "}, MaskCase{2.5, "#0.00 ", "2.50 "},
        MaskCase{0, "#0.00", "0.00"}, MaskCase{70, " 000.0", " 070.0"}, MaskCase{100, " 000.0", " 100.0"},
        MaskCase{0.256, " 0.00", " 0.26"}, MaskCase{12.5, " 0.00", " 12.50"}, MaskCase{0, " 0.00", " 0.00"},
        // The record list.
        MaskCase{7, "00", "07"}, MaskCase{20, "00", "20"}, MaskCase{123, "00", "123"},
        // Rounding is decimal, half away from zero, after reading 15 significant digits.
        MaskCase{2.675, "#0.00", "2.68"}, MaskCase{0.0005, "#0.000", "0.001"},
        MaskCase{1.0005, "#0.000", "1.001"}, MaskCase{0.00049, "#0.000", "0.000"},
        MaskCase{0.00005, "#0.000", "0.000"}, MaskCase{9.9996, "#0.000", "10.000"},
        MaskCase{99.995, "#00.00", "100.00"}, MaskCase{0.1 + 0.2, "#0.000", "0.300"},
        // The reading to 15 significant digits rounds an exact tie of the binary value to even.
        MaskCase{100000000000000.5, "#0.0", "100000000000000.0"},
        MaskCase{100000000000001.5, "#0.0", "100000000000002.0"},
        // Negative numbers: the sign stands before the digits; no negative zero.
        MaskCase{-2.675, "#0.00", "-2.68"}, MaskCase{-0.5, " 0.00", " -0.50"}, MaskCase{-3, " 00.", " -03."},
        MaskCase{-1.234e-5, "0.00E+00", "-1.23E-05"}, MaskCase{-0.0004, "#0.000", "0.000"},
        // Integer digits beyond the mask are shown in full; huge values stay plain.
        MaskCase{12345.678, "#0.00", "12345.68"}, MaskCase{1e20, "#0.0", "100000000000000000000.0"}));

TEST(TextToNumber, ReadsTheLeadingNumber) {
    EXPECT_EQ(textToNumber("12abc"), 12);
    EXPECT_EQ(textToNumber(""), 0);
    EXPECT_EQ(textToNumber("abc"), 0);
    EXPECT_EQ(textToNumber("1 2"), 12);
    EXPECT_EQ(textToNumber(" 2 5 . 4 "), 25.4);
    EXPECT_EQ(textToNumber("-1"), -1);
    EXPECT_EQ(textToNumber("+.5"), 0.5);
    EXPECT_EQ(textToNumber("1.2.3"), 1.2);
    EXPECT_DOUBLE_EQ(textToNumber("2.58E-4"), 2.58e-4);
    EXPECT_DOUBLE_EQ(textToNumber("25.8e-5"), 2.58e-4);
    EXPECT_DOUBLE_EQ(textToNumber("0.000258"), 2.58e-4);
    EXPECT_EQ(textToNumber("1e"), 1);
    EXPECT_EQ(textToNumber("1e+"), 1);
    EXPECT_EQ(textToNumber("-"), 0);
    EXPECT_EQ(textToNumber("."), 0);
    EXPECT_EQ(textToNumber("1,5"), 1); // the comma is never a decimal point
    EXPECT_EQ(textToNumber("\t3\n"), 3);
}

TEST(TextToNumber, ReadsHexadecimalAndOctalIntegers) {
    EXPECT_EQ(textToNumber("&H1F"), 31);
    EXPECT_EQ(textToNumber("&h10"), 16);
    EXPECT_EQ(textToNumber("&O17"), 15);
    EXPECT_EQ(textToNumber("&HFFFF"), -1);
    EXPECT_EQ(textToNumber("&H10000"), 65536);
    EXPECT_EQ(textToNumber("&Hxyz"), 0);
    EXPECT_EQ(textToNumber("&X1"), 0);
}

TEST(TextToNumber, OverflowGivesZeroNotInfinity) {
    EXPECT_EQ(textToNumber("1e999"), 0);
}

// Decimal numbers in every spelling are read to the nearest double; beyond the largest double they
// are out of range however they are written, below the smallest one they are 0.
TEST(NumberReading, ReadsEverySpellingToTheNearestDouble) {
    EXPECT_EQ(parseNumber("+.5"), 0.5);
    EXPECT_EQ(parseNumber("5."), 5);
    EXPECT_EQ(parseNumber(".5E3"), 500);
    EXPECT_EQ(parseNumber("1e5"), 1e5);
    EXPECT_EQ(parseNumber("1E+05"), 1e5);
    EXPECT_EQ(parseNumber("-000012.50"), -12.5);
    EXPECT_EQ(textToNumber("+.5E1abc"), 5);
    // 900 significant digits with a moderate exponent.
    EXPECT_EQ(parseNumber("0." + std::string(900, '3') + "e3"), 1000.0 / 3);
    EXPECT_EQ(parseNumber(std::string(900, '1') + "e-890"), 1111111111.1111111111);
    // Zeros that the exponent makes up for.
    EXPECT_EQ(parseNumber("1" + std::string(400, '0') + "E-400"), 1);
    EXPECT_EQ(parseNumber("0." + std::string(400, '0') + "1E401"), 1);
    // Tiny decimals without an exponent, denormals included.
    EXPECT_EQ(parseNumber("0." + std::string(319, '0') + "1"), 1e-320);
    EXPECT_EQ(parseNumber("0.000000000000000000000000000000000000000000000000000012345"), 1.2345e-53);
    EXPECT_EQ(parseNumber("1.7976931348623157E308"), 1.7976931348623157e308);
}

TEST(NumberReading, DigitsFarBeyondTheFirstHundredsStillDecideTheRounding) {
    // 1 + 2^-53 lies exactly halfway between 1 and the next double: it rounds to even, to 1; any
    // digit above it, even the 900th, rounds it up.
    const std::string halfway = "1.00000000000000011102230246251565404236316680908203125";
    const double next = std::nextafter(1.0, 2.0);
    EXPECT_EQ(parseNumber(halfway), 1.0);
    EXPECT_EQ(parseNumber(halfway + std::string(850, '0')), 1.0);
    EXPECT_EQ(parseNumber(halfway + std::string(850, '0') + "1"), next);
    EXPECT_EQ(parseNumber(halfway + std::string(850, '0') + "1E0"), next);
}

TEST(NumberReading, BeyondTheLargestDoubleIsOutOfRangeWhateverTheExponent) {
    const std::string huge = std::string(400, '1') + "E-07"; // about 1.1E+392
    for (const std::string& text :
         {huge, std::string("1e999"), std::string("-1e999"), std::string("1.7976931348623159E308"),
          std::string(310, '9'), std::string("1e99999999999999999999999")}) {
        EXPECT_EQ(readWholeNumber(text).status, NumberStatus::OutOfRange) << text.substr(0, 30);
        EXPECT_EQ(readLeadingNumber(text + "abc").status, NumberStatus::OutOfRange) << text.substr(0, 30);
        EXPECT_FALSE(parseNumber(text)) << text.substr(0, 30);
        EXPECT_EQ(textToNumber(text), 0) << text.substr(0, 30); // the screens' rule has no error
    }
    EXPECT_EQ(readWholeNumber("12abc").status, NumberStatus::NotANumber);
    EXPECT_EQ(readLeadingNumber("abc").status, NumberStatus::NotANumber);
    EXPECT_EQ(readLeadingNumber("&H10").value, 16);
}

TEST(NumberReading, BelowTheSmallestDoubleIsZero) {
    // The nearest double of a number below about 4.9E-324 is 0; such a number is not an error.
    for (const std::string& text :
         {std::string("1E-400"), std::string("-1e-400"), "0." + std::string(400, '0') + "1",
          std::string("2.4703282292062327E-324"), std::string("1e-99999999999999999999")}) {
        const NumberReading r = readWholeNumber(text);
        EXPECT_EQ(r.status, NumberStatus::Ok) << text.substr(0, 30);
        EXPECT_EQ(r.value, 0) << text.substr(0, 30);
    }
    EXPECT_EQ(parseNumber("4.9406564584124654E-324"), std::numeric_limits<double>::denorm_min());
}

TEST(NumberReading, LongHexadecimalIntegersDoNotWrapAround) {
    EXPECT_EQ(textToNumber("&HFFFFFFFFFFFFFFFFF"), 0xFFFFFFFFFFFFFFFFULL * 16.0 + 15);
    EXPECT_EQ(textToNumber("&H7FFFFFFFFFFFFFFF"), 9223372036854775807.0);
}

TEST(NumberToText, IsTheShortestPlainDecimal) {
    EXPECT_EQ(numberToText(25.4), "25.4");
    EXPECT_EQ(numberToText(50), "50");
    EXPECT_EQ(numberToText(0.5), "0.5");
    EXPECT_EQ(numberToText(-3), "-3");
    EXPECT_EQ(numberToText(0), "0");
    EXPECT_EQ(numberToText(0.1 + 0.2), "0.3");
    EXPECT_EQ(numberToText(2.5 * 0.1 * 10), "2.5");
    EXPECT_EQ(numberToText(1e-5), "0.00001");
    EXPECT_EQ(numberToText(1.5e16), "15000000000000000");
    EXPECT_EQ(numberToText(33.97), "33.97");
}

TEST(NumberWriteForm, HasBlanksAndNoLeadingZero) {
    EXPECT_EQ(numberWriteForm(0.5), " .5 ");
    EXPECT_EQ(numberWriteForm(2), " 2 ");
    EXPECT_EQ(numberWriteForm(-3), "-3 ");
    EXPECT_EQ(numberWriteForm(-0.25), "-.25 ");
    EXPECT_EQ(numberWriteForm(0), " 0 ");
    EXPECT_EQ(numberWriteForm(33.97), " 33.97 ");
    EXPECT_EQ(numberWriteForm(12), " 12 ");
}

TEST(ParseNumber, AcceptsOnlyWholeNumbers) {
    EXPECT_EQ(parseNumber(" 12 "), 12);
    EXPECT_EQ(parseNumber("-.5"), -0.5);
    EXPECT_EQ(parseNumber("2.58E-05"), 2.58e-5);
    EXPECT_EQ(parseNumber("80."), 80);
    EXPECT_FALSE(parseNumber("12abc"));
    EXPECT_FALSE(parseNumber(""));
    EXPECT_FALSE(parseNumber("-"));
    EXPECT_FALSE(parseNumber("1e999"));
}

TEST(TextReader, FieldReadsSeparateByCommaBlankOrLineEnd) {
    TextReader r("1, 2,3 4\r\n  5 ,6\n\"a, b\" , 7\rtext with blanks , 8");
    for (const char* expected : {"1", "2", "3", "4", "5", "6", "a, b", "7", "text with blanks", "8"})
        EXPECT_EQ(r.readField(), std::string(expected));
    EXPECT_FALSE(r.readField());
    EXPECT_TRUE(r.atEnd());
}

TEST(TextReader, LineReadTakesTheRestOfTheLine) {
    TextReader r(" 33.97 \r\n装置名, 型 式\r\n 12 \r\n 2.5 \r\n病院, 科 \r\n");
    EXPECT_EQ(r.readNumber("W").value(), 33.97);
    EXPECT_EQ(r.readLine(), std::string("装置名, 型 式"));
    EXPECT_EQ(r.readNumber("a").value(), 12);
    EXPECT_EQ(r.readNumber("f").value(), 2.5);
    EXPECT_EQ(r.readLine(), std::string("病院, 科 "));
    EXPECT_FALSE(r.readLine());
}

TEST(TextReader, EmptyLineIsAnEmptyField) {
    TextReader r("1\r\n\r\n2\r\n");
    EXPECT_EQ(r.readField(), std::string("1"));
    EXPECT_EQ(r.readField(), std::string(""));
    EXPECT_EQ(r.readField(), std::string("2"));
}

TEST(TextReader, ReadNumberReportsWhereAndWhy) {
    TextReader r("1, x2\r\n");
    EXPECT_TRUE(r.readNumber("first").ok());
    auto bad = r.readNumber("second");
    ASSERT_FALSE(bad.ok());
    EXPECT_NE(bad.error().message().find("second"), std::string::npos);
    EXPECT_NE(bad.error().message().find("x2"), std::string::npos);
    EXPECT_NE(bad.error().message().find("1 行目"), std::string::npos);
    auto ended = r.readNumber("third");
    ASSERT_FALSE(ended.ok());
    EXPECT_NE(ended.error().message().find("終わって"), std::string::npos);
}

TEST(TextReader, ReadNumberRefusesANumberOutOfRangeAndQuotesItShort) {
    const std::string huge = std::string(400, '1') + "E-07";
    TextReader r("1E-400, " + huge + "\r\n");
    EXPECT_EQ(r.readNumber("tiny").value(), 0);
    auto bad = r.readNumber("dose");
    ASSERT_FALSE(bad.ok());
    const std::string& message = bad.error().message();
    EXPECT_NE(message.find("dose（1 行目の「" + std::string(40, '1') + "…」）は大きすぎて"),
              std::string::npos)
        << message;
    EXPECT_EQ(message.find(std::string(41, '1')), std::string::npos);
    EXPECT_EQ(r.lastNumberText(), huge);
}

TEST(TextReader, UnreadableTextStopsOnlyTheReadThatReachesIt) {
    TextReader r(std::string("1, 2\r\nname\r\n3") + std::string(kUnreadableMark) + "\r\nname" +
                 std::string(kUnreadableMark) + "\r\n");
    EXPECT_EQ(r.readNumber("a").value(), 1);
    EXPECT_EQ(r.readNumber("b").value(), 2);
    EXPECT_EQ(r.readText("n").value(), "name");
    auto number = r.readNumber("c");
    ASSERT_FALSE(number.ok());
    EXPECT_NE(number.error().message().find("c（3 行目）に Shift-JIS として読めない文字"), std::string::npos)
        << number.error().message();
    auto line = r.readText("hospital");
    ASSERT_FALSE(line.ok());
    EXPECT_NE(line.error().message().find("hospital（4 行目）"), std::string::npos) << line.error().message();
    EXPECT_EQ(r.readText("end").error().message(), "endを読む前にファイルが終わっています");
}

TEST(TextReader, ALonePointIsTheZeroThatMasksWrite) {
    // "###.# " writes zero as ". "; the number read takes it back, signed or not.
    TextReader r((formatNumber(0, "###.# ") + formatNumber(-0.01, "###.# ") + "+. 5 ..\r\n").c_str());
    EXPECT_EQ(r.readNumber("a").value(), 0);
    EXPECT_EQ(r.readNumber("b").value(), 0);
    EXPECT_EQ(r.readNumber("c").value(), 0);
    EXPECT_EQ(r.readNumber("d").value(), 5);
    EXPECT_FALSE(r.readNumber("e").ok()); // two points are no number
}

TEST(ShiftJis, RoundTripsJapaneseByteForByte) {
    const std::string utf8 = "撮影部位 腹部正面 ＭＳ ゴシック ｺﾞｼｯｸ ①②③ μSv Ⅱ ―";
    auto sjis = utf8ToSjis(utf8);
    ASSERT_TRUE(sjis.ok()) << sjis.error().message();
    auto back = sjisToUtf8(*sjis);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(*back, utf8);
    auto again = utf8ToSjis(*back);
    EXPECT_EQ(*again, *sjis);
    // 腹 is 0x95 0xA0 in Shift-JIS: the converter is the real one, not a table of our own.
    EXPECT_EQ(utf8ToSjis("腹").value(), "\x95\xa0");
}

// Characters that code page 932 holds twice (JIS X 0208 and NEC's row 13, or the IBM extensions
// and NEC's copy of them) are written with the same code on Windows and Linux, the one Windows
// writes, so a file reads and compares alike wherever it was saved; both codes read back.
TEST(ShiftJis, CharactersWithTwoCodesAreWrittenAsWindowsWritesThem) {
    const struct {
        const char* utf8;
        std::string written;
        std::string otherCode;
    } cases[] = {{"≒", "\x81\xe0", "\x87\x90"},  {"∵", "\x81\xe6", "\x87\x9a"},
                 {"￢", "\x81\xca", "\xee\xf9"}, {"ⅰ", "\xfa\x40", "\xee\xef"},
                 {"纊", "\xfa\x5c", "\xed\x40"}, {"∥", "\x81\x61", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(utf8ToSjis(c.utf8).value(), c.written) << c.utf8;
        EXPECT_EQ(sjisToUtf8(c.written).value(), c.utf8) << c.utf8;
        if (!c.otherCode.empty()) {
            EXPECT_EQ(sjisToUtf8(c.otherCode).value(), c.utf8) << c.utf8;
        }
    }
}

TEST(ShiftJis, RefusesWhatItCannotConvert) {
    EXPECT_FALSE(utf8ToSjis("😀").ok());
    EXPECT_FALSE(sjisToUtf8("\x81").ok());
}

TEST(ShiftJis, ConvertsAsFarAsTheTextIsValid) {
    const std::string good = utf8ToSjis("1, 2\r\n病院\r\n").value();
    EXPECT_EQ(sjisToUtf8MarkingUnreadable(good), "1, 2\r\n病院\r\n");
    // A UTF-8 comment after the numbers is no Shift-JIS; the lines before it, and the valid start
    // of its own line, convert as they are.
    const std::string comment = "# 注記: 線量は μSv/mAs ✓";
    ASSERT_FALSE(sjisToUtf8(comment).ok());
    const std::string text = good + "3 " + comment + "\r\n4\n\xFF\xFE\r" + utf8ToSjis("腹").value();
    const std::string marked = sjisToUtf8MarkingUnreadable(text);
    const std::string mark(kUnreadableMark);
    EXPECT_EQ(marked.substr(0, 18), "1, 2\r\n病院\r\n3 # ");
    EXPECT_NE(marked.find(mark + "\r\n4\n" + mark + "\r腹"), std::string::npos);
    EXPECT_EQ(splitLines(marked).size(), 6u);
}

TEST(Files, ReadsOnlyRegularFilesOfABoundedSize) {
    test::TempFolder folder;
    const auto file = folder.file("s_p_ratio.dat");
    test::writeBytes(file, std::string(100, 'x'));
    EXPECT_EQ(readRegularFileBytes(file, 100).value(), std::string(100, 'x'));
    auto large = readRegularFileBytes(file, 99);
    ASSERT_FALSE(large.ok());
    EXPECT_NE(large.error().message().find("「s_p_ratio.dat」が大きすぎます"), std::string::npos)
        << large.error().message();
    auto folderError = readRegularFileBytes(folder.path(), 1000);
    ASSERT_FALSE(folderError.ok());
    EXPECT_NE(folderError.error().message().find("ファイルではありません"), std::string::npos);
    EXPECT_NE(readRegularFileBytes(folder.file("none"), 1000).error().message().find("見つかりません"),
              std::string::npos);
}

TEST(Files, WriteTextLinesUsesShiftJisAndCrLf) {
    test::TempFolder folder;
    const auto file = folder.file("撮影担当.txt");
    ASSERT_TRUE(writeTextLines(file, {"山田", "", "b"}).ok());
    EXPECT_EQ(test::readBytes(file), utf8ToSjis("山田\r\n\r\nb\r\n").value());
    EXPECT_EQ(splitLines(readTextFile(file).value()), (std::vector<std::string>{"山田", "", "b"}));
}

TEST(Files, ReplacesAnExistingFileUnderAJapaneseName) {
    test::TempFolder folder;
    const auto file = fileInFolder(folder.path(), "基礎データ.dat");
    EXPECT_EQ(fileNameUtf8(file), "基礎データ.dat");
    EXPECT_FALSE(canOpenForReading(file));
    ASSERT_TRUE(writeTextLines(file, {"first version, longer than the second"}).ok());
    EXPECT_TRUE(canOpenForReading(file));
    ASSERT_TRUE(writeTextLines(file, {"病院"}).ok());
    EXPECT_EQ(test::readBytes(file), utf8ToSjis("病院\r\n").value());
    int entries = 0;
    for (auto& e : fs::directory_iterator(folder.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1); // no temporary file left beside it
}

TEST(Files, SplitLinesAcceptsEveryLineEnd) {
    EXPECT_EQ(splitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_TRUE(splitLines("").empty());
}

TEST(Files, FailedReplacementKeepsTheOldFile) {
    test::TempFolder folder;
    const auto file = folder.file("kaijo_dose.dat");
    test::writeBytes(file, "old content\r\n");
    // A character that Shift-JIS cannot hold: nothing is written.
    EXPECT_FALSE(writeTextLines(file, {"😀"}).ok());
    EXPECT_EQ(test::readBytes(file), "old content\r\n");
    // A target that is a folder cannot be replaced: the error names it, no temporary file remains.
    const auto dir = folder.file("sub");
    fs::create_directory(dir);
    auto error = writeFileAtomic(dir, "x");
    ASSERT_FALSE(error.ok());
    EXPECT_NE(error.message().find("sub"), std::string::npos);
    int entries = 0;
    for (auto& e : fs::directory_iterator(folder.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 2);
}

TEST(Files, ReadOnlyFolderGivesAnError) {
    TAMSO_POSIX_ONLY("a folder's write permission bit; Windows ignores the read-only attribute of folders");
    test::TempFolder folder;
    const auto file = folder.file("a.txt");
    test::writeBytes(file, "keep");
    fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec);
    if (writeFileAtomic(folder.file("probe"), "x").ok()) {
        fs::permissions(folder.path(), fs::perms::owner_all);
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    }
    EXPECT_FALSE(writeFileAtomic(file, "new").ok());
    fs::permissions(folder.path(), fs::perms::owner_all);
    EXPECT_EQ(test::readBytes(file), "keep");
}

TEST(Files, MissingFileIsNamedInTheError) {
    test::TempFolder folder;
    auto r = readTextFile(folder.file("基礎データ.dat"));
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error().message().find("基礎データ.dat"), std::string::npos);
}

// The decimal point is always the full stop, whatever the system's number settings; Qt programs
// take the user's locale at start-up, so a German or French desktop must not change a reading.
TEST(TextToNumber, IgnoresTheLocalesDecimalComma) {
    const char* candidates[] = {"de_DE.UTF-8", "de_DE.utf8",          "fr_FR.UTF-8",
                                "fr_FR.utf8",  "German_Germany.1252", "de-DE"};
    std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    const char* chosen = nullptr;
    for (const char* name : candidates)
        if (std::setlocale(LC_NUMERIC, name)) {
            chosen = name;
            break;
        }
    if (!chosen)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    const double read = textToNumber("25.4");
    const auto parsed = parseNumber("2.58E-05");
    const std::string shown = formatNumber(2.675, "#0.00");
    const std::string written = numberWriteForm(0.5);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(read, 25.4) << chosen;
    EXPECT_EQ(parsed, 2.58e-5);
    EXPECT_EQ(shown, "2.68");
    EXPECT_EQ(written, " .5 ");
}

// CSV cells: plain text as it stands; commas, quotes, line breaks and blanks at either end quoted,
// quotes doubled.
TEST(Csv, CellsAreQuotedOnlyWhereTheyMustBe) {
    EXPECT_EQ(textio::csvCell("胸部正面"), "胸部正面");
    EXPECT_EQ(textio::csvCell(""), "");
    EXPECT_EQ(textio::csvCell("10 x 12"), "10 x 12");
    EXPECT_EQ(textio::csvCell("a,b"), "\"a,b\"");
    EXPECT_EQ(textio::csvCell("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(textio::csvCell("line\r\nbreak"), "\"line\r\nbreak\"");
    EXPECT_EQ(textio::csvCell(" .5 "), "\" .5 \"");
}

// What csvCell writes reads back cell for cell, whatever the cell holds.
TEST(Csv, WrittenCellsReadBackAsTheyWere) {
    const std::vector<std::vector<std::string>> rows = {
        {"胸部正面", "", " .5 ", "a,b"}, {"say \"hi\"", "line\r\nbreak", "\"", ",\r\n,"}, {""}, {"last"}};
    std::string text;
    for (const auto& row : rows) {
        for (size_t k = 0; k < row.size(); ++k)
            text += (k ? "," : "") + textio::csvCell(row[k]);
        text += "\r\n";
    }
    EXPECT_EQ(textio::csvRows(text), rows);
}

TEST(Csv, RowsEndAtEveryLineEndOutsideQuotes) {
    using Rows = std::vector<std::vector<std::string>>;
    const struct {
        const char* text;
        Rows rows;
    } cases[] = {{"", {}},
                 {"a,b", {{"a", "b"}}},
                 {"a\nb\rc\r\n", {{"a"}, {"b"}, {"c"}}},
                 {"a,\r\n\r\n,", {{"a", ""}, {""}, {"", ""}}},
                 {"\"x\ny\",z", {{"x\ny", "z"}}},
                 {"ab\"c,d\"e", {{"abc,de"}}}};
    for (const auto& c : cases)
        EXPECT_EQ(textio::csvRows(c.text), c.rows) << c.text;
    EXPECT_EQ(textio::csvLineCells(""), std::vector<std::string>{""});
    EXPECT_EQ(textio::csvLineCells(" a , \"b,c\" "), (std::vector<std::string>{" a ", " b,c "}));
}
