// The diagnostic reference level file "参考線量.dat": its layout read and written back, the first
// record of a body part being the one compared with, the optional file missing or malformed at
// start-up, the comparison of one dose, the editor's arrangement by the body-part list, and the
// shipped table.

#include "refdata/referencelevels.h"
#include "testsupport.h"
#include "textio/fileio.h"

#include <gtest/gtest.h>

namespace tamso::refdata {
namespace {

using test::TempFolder;

Expected<ReferenceLevelTable> parse(const std::string& text) {
    return parseReferenceLevels(text, "参考線量.dat");
}

TEST(ReferenceLevelFile, ReadsBodyPartLevelAndTheWholeRestOfTheLineAsSource) {
    auto table = parse("\"胸部正面\", .2 ,Japan DRLs 2020, 乳児 \"0-1\" 歳, 入射表面線量\r\n"
                       "\r\n"
                       "\"腹部正面\",,\r\n"
                       "\"頭部, 正面\",0.1\r\n"
                       "胸部側面 , 1E-1 ,  先頭の空白は除く\r\n");
    ASSERT_TRUE(table.ok()) << table.error().message();
    ASSERT_EQ(table->rows.size(), 4u); // the blank line is skipped
    EXPECT_EQ(table->rows[0].bodyPart, "胸部正面");
    EXPECT_DOUBLE_EQ(*table->rows[0].levelMGy, 0.2);
    EXPECT_EQ(table->rows[0].source, "Japan DRLs 2020, 乳児 \"0-1\" 歳, 入射表面線量");
    EXPECT_EQ(table->rows[1].bodyPart, "腹部正面");
    EXPECT_FALSE(table->rows[1].levelMGy);
    EXPECT_EQ(table->rows[1].source, "");
    // A record without a source and without the comma before it never reaches into the next line.
    EXPECT_EQ(table->rows[2].bodyPart, "頭部, 正面");
    EXPECT_DOUBLE_EQ(*table->rows[2].levelMGy, 0.1);
    EXPECT_EQ(table->rows[2].source, "");
    EXPECT_EQ(table->rows[3].bodyPart, "胸部側面");
    EXPECT_DOUBLE_EQ(*table->rows[3].levelMGy, 0.1);
    EXPECT_EQ(table->rows[3].source, "先頭の空白は除く");
}

TEST(ReferenceLevelFile, WritesOneLinePerRowAndReadsBackTheSameRows) {
    TempFolder dir;
    ReferenceLevelTable table;
    table.rows = {{"胸部正面", 0.2, "Japan DRLs 2020, 乳児（0～1 歳）"},
                  {"腹部正面", std::nullopt, ""},
                  {"胸部正面", 0.0547, "NICU の院内参考レベル \"1000 g 未満\", 54.7 μGy"}};
    const auto file = dir.file(kReferenceLevelFileName);
    ASSERT_TRUE(writeReferenceLevelFile(file, table).ok());
    EXPECT_EQ(test::readSjis(file),
              "\"胸部正面\", .2 ,Japan DRLs 2020, 乳児（0～1 歳）\r\n"
              "\"腹部正面\",,\r\n"
              "\"胸部正面\", .0547 ,NICU の院内参考レベル \"1000 g 未満\", 54.7 μGy\r\n");
    auto back = readReferenceLevelFile(file);
    ASSERT_TRUE(back.ok()) << back.error().message();
    ASSERT_EQ(back->rows.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back->rows[i].bodyPart, table.rows[i].bodyPart);
        EXPECT_EQ(back->rows[i].levelMGy, table.rows[i].levelMGy);
        EXPECT_EQ(back->rows[i].source, table.rows[i].source);
    }
}

TEST(ReferenceLevelFile, RefusesRowsThatWouldNotReadBack) {
    TempFolder dir;
    const auto file = dir.file(kReferenceLevelFileName);
    test::writeBytes(file, "old");
    for (const ReferenceLevelRow& row :
         {ReferenceLevelRow{"", 0.2, ""}, ReferenceLevelRow{"胸部\"正面", 0.2, ""},
          ReferenceLevelRow{"胸部正面", 0.0, ""}, ReferenceLevelRow{"胸部正面", -0.1, ""}}) {
        ReferenceLevelTable table;
        table.rows = {row};
        const Status status = writeReferenceLevelFile(file, table);
        EXPECT_FALSE(status.ok()) << row.bodyPart;
    }
    EXPECT_EQ(test::readBytes(file), "old"); // nothing was written
}

// Every fault names the file and the line.
TEST(ReferenceLevelFile, MalformedLinesAreRefusedWithTheLine) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"\"胸部正面\", .2 ,a\r\n\"腹部正面\",abc,b\r\n", "2 行目の参考レベル「abc」が数値ではありません"},
        {"\"胸部正面\",0,a\r\n", "1 行目の参考レベル「0」は 0 より大きくなければなりません"},
        {"\"胸部正面\",-0.2,a\r\n", "1 行目の参考レベル「-0.2」は 0 より大きくなければなりません"},
        {"\"胸部正面\",1e999,a\r\n", "1 行目の参考レベル「1e999」は大きすぎて数値として扱えません"},
        {"\"\", .2 ,a\r\n", "1 行目に撮影部位がありません"},
        {"\r\n , .2 ,a\r\n", "2 行目に撮影部位がありません"},
    };
    for (const auto& c : cases) {
        auto table = parse(c.text);
        ASSERT_FALSE(table.ok()) << c.text;
        EXPECT_NE(table.error().message().find("「参考線量.dat」"), std::string::npos) << table.error().message();
        EXPECT_NE(table.error().message().find(c.expected), std::string::npos) << table.error().message();
    }
}

TEST(ReferenceLevelFile, BytesThatAreNotShiftJisAreRefusedWithTheLine) {
    TempFolder dir;
    const auto file = dir.file(kReferenceLevelFileName);
    test::writeBytes(file, "\"a\", .2 ,ok\r\n\"b\", .1 ,\x81\x20\r\n");
    auto table = readReferenceLevelFile(file);
    ASSERT_FALSE(table.ok());
    EXPECT_NE(table.error().message().find("2 行目に Shift-JIS として読めない文字があります"),
              std::string::npos)
        << table.error().message();
}

// The first record of a body part is compared with; the later ones are documentation.
TEST(ReferenceLevelTable, FirstRecordOfABodyPartIsTheLevelUsed) {
    auto table = parse(
        "\"腹部正面\",,\r\n\"胸部正面\", .2 ,JP\r\n\"胸部正面\", .08 ,EU\r\n\"胸部正面\", .05 ,NICU\r\n");
    ASSERT_TRUE(table.ok());
    EXPECT_DOUBLE_EQ(*table->levelFor("胸部正面"), 0.2);
    EXPECT_EQ(table->rowFor("胸部正面")->source, "JP");
    EXPECT_FALSE(table->levelFor("腹部正面")); // listed without a level
    EXPECT_FALSE(table->levelFor("頭部正面")); // not in the table
    EXPECT_TRUE(table->isUsedRow(0));
    EXPECT_TRUE(table->isUsedRow(1));
    EXPECT_FALSE(table->isUsedRow(2));
    EXPECT_FALSE(table->isUsedRow(3));
    EXPECT_FALSE(table->isUsedRow(4));
}

TEST(ReferenceLevelComparison, GivesLevelRatioAndWhetherTheDoseIsAbove) {
    ReferenceLevelTable table;
    table.rows = {{"胸部正面", 0.2, "JP"}, {"胸部正面", 0.05, "NICU"}, {"腹部正面", std::nullopt, ""}};
    auto below = compareWithReferenceLevel(table, "胸部正面", 0.1);
    ASSERT_TRUE(below);
    EXPECT_DOUBLE_EQ(below->levelMGy, 0.2);
    EXPECT_DOUBLE_EQ(below->ratio, 0.5);
    EXPECT_FALSE(below->above);
    auto equal = compareWithReferenceLevel(table, "胸部正面", 0.2);
    ASSERT_TRUE(equal);
    EXPECT_DOUBLE_EQ(equal->ratio, 1.0);
    EXPECT_FALSE(equal->above); // at the level is not above it
    auto above = compareWithReferenceLevel(table, "胸部正面", 0.203);
    ASSERT_TRUE(above);
    EXPECT_NEAR(above->ratio, 1.015, 1e-12);
    EXPECT_TRUE(above->above);
    EXPECT_FALSE(compareWithReferenceLevel(table, "腹部正面", 0.3));  // no level: nothing shown
    EXPECT_FALSE(compareWithReferenceLevel(table, "胸部正面 ", 0.3)); // body parts match exactly
    EXPECT_FALSE(compareWithReferenceLevel(ReferenceLevelTable{}, "胸部正面", 0.3));
}

// The figures shown support the verdict: the dose as shown against the level as shown (every
// digit of it), the ratio with as many decimals as an above-level dose needs to show above 1.
TEST(ReferenceLevelComparison, FiguresShownSupportTheVerdict) {
    struct Case {
        double shownDose, level;
        const char *levelText, *ratioText;
        bool above;
    };
    const Case cases[] = {{0.203, 0.2, "0.200", "1.02", true},      {0.200, 0.2, "0.200", "1.00", false},
                          {0.2004, 0.2, "0.200", "1.002", true},    {0.201, 0.2, "0.200", "1.01", true},
                          {0.200, 0.1999, "0.1999", "1.001", true}, {0.055, 0.0547, "0.0547", "1.01", true},
                          {0.054, 0.0547, "0.0547", "0.99", false}, {0.1, 0.2, "0.200", "0.50", false}};
    for (const Case& c : cases) {
        const LevelComparison comparison = compareWithLevel(c.shownDose, c.level);
        EXPECT_EQ(comparison.levelText, c.levelText) << c.shownDose << " / " << c.level;
        EXPECT_EQ(comparison.ratioText, c.ratioText) << c.shownDose << " / " << c.level;
        EXPECT_EQ(comparison.above, c.above) << c.shownDose << " / " << c.level;
    }
}

// A computed dose is compared at the finer of its three decimals and the level's: equal is never
// above, below is never above, whatever the three-decimal text shows.
TEST(ReferenceLevelComparison, ComputedDoseAtTheLevelsPrecision) {
    auto table = parseReferenceLevels("\"胸部正面\", .0547 ,JP\r\n\"腹部正面\", .2 ,JP\r\n", "参考線量.dat");
    ASSERT_TRUE(table.ok());
    const struct {
        const char* part;
        double dose;
        bool above;
        const char* ratio;
    } cases[] = {{"胸部正面", 0.05468, false, "1.00"}, {"胸部正面", 0.0547, false, "1.00"},
                 {"胸部正面", 0.05450, false, "1.00"}, {"胸部正面", 0.05476, true, "1.002"},
                 {"腹部正面", 0.2004, false, "1.00"},  {"腹部正面", 0.2006, true, "1.01"}};
    for (const auto& c : cases) {
        const auto comparison = compareComputedDoseWithReferenceLevel(*table, c.part, c.dose);
        ASSERT_TRUE(comparison) << c.dose;
        EXPECT_EQ(comparison->above, c.above) << c.dose;
        EXPECT_EQ(comparison->ratioText, c.ratio) << c.dose;
    }
}

TEST(OptionalReferenceLevels, MissingFileGivesNoTableAndNoWarning) {
    TempFolder dir;
    const OptionalReferenceLevels loaded = loadReferenceLevels(dir.path());
    EXPECT_FALSE(loaded.present);
    EXPECT_FALSE(loaded.warning);
    EXPECT_TRUE(loaded.table.rows.empty());
}

TEST(OptionalReferenceLevels, MalformedFileGivesAnEmptyTableAndOneWarning) {
    TempFolder dir;
    test::writeSjis(dir.file(kReferenceLevelFileName), "\"胸部正面\", .2 ,JP\r\n\"腹部正面\",約0.3,x\r\n");
    const OptionalReferenceLevels loaded = loadReferenceLevels(dir.path());
    EXPECT_TRUE(loaded.present);
    ASSERT_TRUE(loaded.warning);
    EXPECT_NE(loaded.warning->find("2 行目の参考レベル「約0.3」が数値ではありません"), std::string::npos)
        << *loaded.warning;
    EXPECT_NE(loaded.warning->find("参考レベルとの比較は表示しません"), std::string::npos);
    EXPECT_TRUE(loaded.table.rows.empty()); // as if missing: no comparison from half a file
}

TEST(OptionalReferenceLevels, AFolderInItsPlaceIsWarnedAbout) {
    TempFolder dir;
    std::filesystem::create_directory(dir.file(kReferenceLevelFileName));
    const OptionalReferenceLevels loaded = loadReferenceLevels(dir.path());
    EXPECT_TRUE(loaded.present);
    EXPECT_TRUE(loaded.warning);
}

TEST(ReferenceLevelArrangement, OneRowPerListedBodyPartThenTheOthers) {
    ReferenceLevelTable table;
    table.rows = {{"頭部正面", 0.3, "H"},
                  {"胸部正面", 0.08, "EU"},
                  {"その他", 1.0, "X"},
                  {"胸部正面", 0.2, "JP"},
                  {"頭部正面", 0.4, "H2"}};
    size_t listed = 0;
    const auto rows =
        arrangeForBodyPartList(table, {"腹部正面", "胸部正面", "", "頭部正面", "胸部正面"}, &listed);
    ASSERT_EQ(listed, 3u);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0].bodyPart, "腹部正面");
    EXPECT_FALSE(rows[0].levelMGy);
    EXPECT_EQ(rows[1].source, "EU"); // the record used stays the one used
    EXPECT_EQ(rows[2].source, "H");
    EXPECT_EQ(rows[3].source, "X");
    EXPECT_EQ(rows[4].source, "JP");
    EXPECT_EQ(rows[5].source, "H2");
    ReferenceLevelTable arranged;
    arranged.rows = rows;
    for (const char* part : {"胸部正面", "頭部正面", "その他"})
        EXPECT_EQ(arranged.levelFor(part), table.levelFor(part)) << part;
}

TEST(ReferenceLevelShippedTable, HoldsOneRowPerListedBodyPartAndThePublishedChestLevels) {
    const std::filesystem::path data = std::filesystem::path(TAMSO_SOURCE_DIR) / "data";
    auto table = readReferenceLevelFile(textio::fileInFolder(data, kReferenceLevelFileName));
    ASSERT_TRUE(table.ok()) << table.error().message();
    const std::vector<std::string> parts = readBodyPartList(data);
    ASSERT_GE(table->rows.size(), parts.size());
    for (size_t i = 0; i < parts.size(); ++i)
        EXPECT_EQ(table->rows[i].bodyPart, parts[i]) << i;
    // Japan DRLs 2020, infant chest: 0.2 mGy; the European 1996 newborn chest level is kept as
    // documentation. The NICU levels by weight band come from chest-abdomen radiographs: they are
    // documentation under 胸腹部正面, which compares with nothing.
    EXPECT_DOUBLE_EQ(*table->levelFor("胸部正面"), 0.2);
    EXPECT_FALSE(table->levelFor("胸腹部正面"));
    auto documented = [&](const std::string& part) {
        std::vector<double> levels;
        for (size_t i = 0; i < table->rows.size(); ++i)
            if (table->rows[i].bodyPart == part && !table->isUsedRow(i))
                levels.push_back(*table->rows[i].levelMGy);
        return levels;
    };
    EXPECT_EQ(documented("胸部正面"), (std::vector<double>{0.08}));
    EXPECT_EQ(documented("胸腹部正面"), (std::vector<double>{0.0547, 0.0501, 0.0509, 0.0555}));
}

} // namespace
} // namespace tamso::refdata
