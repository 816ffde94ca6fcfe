// tamso-calc's organ doses and effective dose (--body-part, --weight-kg), one exposure and the CSV
// batch, on a copy of the shipped working folder.

#include "engine/organdose.h"
#include "testsupport.h"
#include "textio/fileio.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <map>
#include <vector>

using namespace tamso;

namespace {

namespace fs = std::filesystem;

class CalcOrgans : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(test::calculatorProgram()))
            GTEST_SKIP() << "tamso-calc is not built";
        for (const auto& entry : fs::directory_iterator(fs::path(TAMSO_SOURCE_DIR) / "data"))
            if (entry.path().extension() != ".md")
                fs::copy_file(entry.path(), folder.path() / entry.path().filename());
    }
    test::ProgramRun calc(const std::string& arguments) {
        return test::runCalculator(folder, "--workdir " + test::quotedArgument(folder.path()) + " " + arguments);
    }
    static std::map<std::string, std::string> keyed(const std::string& out) {
        std::map<std::string, std::string> m;
        for (const std::string& line : textio::splitLines(out)) {
            const auto blank = line.find(' ');
            m[line.substr(0, blank)] = blank == std::string::npos ? "" : line.substr(blank + 1);
        }
        return m;
    }
    test::TempFolder folder;
};

} // namespace

TEST_F(CalcOrgans, PrintsTheEffectiveDoseAndEveryOrganWithTheWeightItUsed) {
    const auto given = calc("--body-part 胸部正面 --weight-kg 2 --kv 60 --mas 2 --field 12x10");
    ASSERT_EQ(given.status, 0) << given.err;
    const auto g = keyed(given.out);
    EXPECT_EQ(g.at("weight_kg"), "2");
    EXPECT_EQ(g.at("weight_assumed"), "no");
    EXPECT_GT(std::stod(g.at("effective_dose_usv")), 0);
    EXPECT_GT(std::stod(g.at("effective_dose_u_usv")), 0);
    for (int o = 0; o < engine::kOrganCount; ++o)
        EXPECT_EQ(g.count(std::string("organ_dose_ugy_") + engine::organInfo(o).key), 1u) << o;
    EXPECT_GT(std::stod(g.at("organ_dose_ugy_lungs")), std::stod(g.at("organ_dose_ugy_testes")));

    const auto assumed = calc("--body-part 胸部正面 --kv 60 --mas 2 --field 12x10");
    ASSERT_EQ(assumed.status, 0) << assumed.err;
    const auto a = keyed(assumed.out);
    EXPECT_EQ(a.at("weight_kg"), "3");
    EXPECT_EQ(a.at("weight_assumed"), "yes (体重既定値.txt)");
    // Without a body part the output is the entrance dose alone, as before.
    const auto plain = calc("--kv 60 --mas 2");
    ASSERT_EQ(plain.status, 0);
    EXPECT_EQ(plain.out.find("effective_dose"), std::string::npos);
}

TEST_F(CalcOrgans, RefusesBodyPartsAndWeightsItCannotUse) {
    const struct {
        const char* arguments;
        const char* message;
    } cases[] = {{"--body-part 骨盤正面", "撮影部位.txt"},
                 {"--body-part 胸部正面 --weight-kg 12", "範囲外"},
                 {"--body-part 胸部正面 --weight-kg abc", "not a number"}};
    for (const auto& c : cases) {
        const auto r = calc(c.arguments);
        EXPECT_EQ(r.status, 2) << c.arguments;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    fs::remove(folder.path() / fs::u8path("臓器線量.dat"));
    const auto noTable = calc("--body-part 胸部正面");
    EXPECT_EQ(noTable.status, 2);
    EXPECT_NE(noTable.err.find("臓器線量.dat"), std::string::npos) << noTable.err;
}

TEST_F(CalcOrgans, TheBatchCarriesTheEffectiveDoseOfEachRow) {
    std::ofstream(folder.file("batch.csv"), std::ios::binary) << "kv,body-part,weight-kg\n60,胸部正面,1\n60,胸部正面,3\n60,,\n";
    const auto r = calc("--csv " + test::quotedArgument(folder.file("batch.csv")));
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    const auto lines = textio::splitLines(r.out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[0].find(",effective_dose_usv,effective_dose_u_usv,organ_dose_ugy_brain"), std::string::npos);
    const auto split = [](const std::string& line) {
        std::vector<std::string> cells;
        size_t start = 0;
        for (size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1)
            cells.push_back(line.substr(start, comma - start));
        cells.push_back(line.substr(start));
        return cells;
    };
    const auto header = split(lines[0]);
    const auto cell = [&](size_t line, const std::string& key) {
        const size_t column = size_t(std::find(header.begin(), header.end(), key) - header.begin());
        return split(lines[line]).at(column);
    };
    // The same field on the smaller infant: a larger share of the body, a larger effective dose.
    EXPECT_GT(std::stod(cell(1, "effective_dose_usv")), std::stod(cell(2, "effective_dose_usv")));
    EXPECT_EQ(cell(3, "effective_dose_usv"), ""); // no body part: no effective dose
}
