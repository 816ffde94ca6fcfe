// The test cases of tests/data (see tests/data/README.md): each folder holds the conditions of one
// exposure as tamso-calc options, a working folder and what tamso-calc prints for them. The engine,
// run in this process as the calculation and caregiver commands run it, and the built tamso-calc
// must both give every printed value, the spectrum listing and every refusal exactly.

#include "refdata/referenceloader.h"
#include "testsupport.h"
#include "textio/fileio.h"
#include "tools/calc/calccli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

using namespace tamso;

namespace {

namespace fs = std::filesystem;

const fs::path kCasesFolder = fs::path(TAMSO_SOURCE_DIR) / "tests" / "data";
const std::string kProgramPrefix = "tamso-calc: ";

struct Case {
    std::string name;
    fs::path folder;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

// Every folder of tests/data that holds a conditions.txt, by name.
std::vector<Case> findCases() {
    std::vector<Case> cases;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kCasesFolder, ec))
        if (entry.is_directory() && fs::is_regular_file(entry.path() / "conditions.txt"))
            cases.push_back({entry.path().filename().string(), entry.path()});
    std::sort(cases.begin(), cases.end(), [](const Case& a, const Case& b) { return a.name < b.name; });
    return cases;
}

using Conditions = std::vector<std::pair<std::string, std::string>>;

// "name value" per line, '#' starts a comment line.
Conditions readConditions(const fs::path& file) {
    Conditions conditions;
    for (const std::string& raw : textio::splitLines(test::readBytes(file))) {
        const auto first = raw.find_first_not_of(" \t");
        if (first == std::string::npos || raw[first] == '#')
            continue;
        const auto gap = raw.find_first_of(" \t", first);
        const auto value = gap == std::string::npos ? gap : raw.find_first_not_of(" \t", gap);
        const auto end = raw.find_last_not_of(" \t");
        EXPECT_NE(value, std::string::npos) << file << ": no value in: " << raw;
        if (value == std::string::npos)
            continue;
        conditions.emplace_back(raw.substr(first, gap - first), raw.substr(value, end + 1 - value));
    }
    return conditions;
}

// What expected.txt says: the standard output of tamso-calc exactly, or for a refused run "exit N"
// and then its standard error exactly.
struct Expectation {
    int status = calc::kExitOk;
    std::string out;
    std::string err;
};

Expectation readExpectation(const fs::path& file) {
    Expectation e;
    const std::string text = test::readBytes(file);
    if (text.rfind("exit ", 0) != 0) {
        e.out = text;
        return e;
    }
    const auto lineEnd = text.find('\n');
    e.status = std::atoi(text.substr(5, lineEnd - 5).c_str());
    e.err = lineEnd == std::string::npos ? std::string() : text.substr(lineEnd + 1);
    return e;
}

// The case's working folder copied into a fresh temporary folder, so that the listing every run
// writes never lands in the source tree.
void copyWorkFolder(const Case& c, const test::TempFolder& into) {
    fs::copy(c.folder / "workdir", into.path(), fs::copy_options::recursive);
    ASSERT_FALSE(fs::exists(into.file("Beam_data.dat"))) << "a case's workdir holds no listing";
}

// The one place that drives the engine: the working folder loaded as at start-up, the conditions
// set through tamso-calc's option names, then the calculation and the caregiver estimate. The
// results come in the order of calc::resultKeys(), as the screen shows them.
Expected<std::vector<std::string>> runEngine(const fs::path& workFolder, const Conditions& conditions) {
    auto state = std::make_unique<engine::CalculationState>();
    if (auto e = refdata::loadReferenceData(*state, workFolder); !e.ok())
        return e.error();
    calc::Exposure exposure = calc::defaultExposure(*state);
    for (const auto& [name, value] : conditions)
        if (auto e = calc::setCondition(exposure, name, value); !e.ok())
            return e.error();
    return calc::calculateExposure(*state, exposure, engine::listingInto(workFolder));
}

std::string program() { return test::calculatorProgram(); }

Expectation runProgram(const test::TempFolder& folder, const Conditions& conditions) {
    std::string arguments = "--workdir " + test::quotedArgument(folder.path());
    for (const auto& [name, value] : conditions)
        arguments += " \"--" + name + "=" + value + "\"";
    const test::ProgramRun run = test::runCalculator(folder, arguments);
    Expectation o;
    o.status = run.status;
    o.out = run.out;
    o.err = run.err;
    return o;
}

// The listing the run wrote against the case's expected one, where the case has one.
void expectListing(const Case& c, const test::TempFolder& work, bool refused) {
    const fs::path written = work.file("Beam_data.dat");
    if (refused) {
        EXPECT_FALSE(fs::exists(written)) << "a refused run writes no listing";
        return;
    }
    ASSERT_TRUE(fs::exists(written));
    if (!fs::exists(c.folder / "Beam_data.dat"))
        return;
    EXPECT_TRUE(test::readBytes(written) == test::readBytes(c.folder / "Beam_data.dat"))
        << "Beam_data.dat differs from " << (c.folder / "Beam_data.dat");
}

std::string testName(const ::testing::TestParamInfo<Case>& info) {
    std::string name = info.param.name;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

class EngineOnCase : public ::testing::TestWithParam<Case> {};
class TamsoCalcOnCase : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        if (!fs::exists(program()))
            GTEST_SKIP() << "tamso-calc is not built";
    }
};

} // namespace

TEST(TestCases, EveryCaseFolderIsComplete) {
    const auto cases = findCases();
    EXPECT_GE(cases.size(), 6u) << "the cases live in " << kCasesFolder;
    for (const Case& c : cases) {
        EXPECT_TRUE(fs::is_directory(c.folder / "workdir")) << c.name;
        EXPECT_TRUE(fs::is_regular_file(c.folder / "expected.txt")) << c.name;
        EXPECT_FALSE(readConditions(c.folder / "conditions.txt").empty()) << c.name;
    }
}

TEST_P(EngineOnCase, GivesTheExpectedResults) {
    const Case& c = GetParam();
    const Expectation expected = readExpectation(c.folder / "expected.txt");
    test::TempFolder work;
    copyWorkFolder(c, work);
    const auto results = runEngine(work.path(), readConditions(c.folder / "conditions.txt"));
    if (expected.status != calc::kExitOk) {
        ASSERT_FALSE(results.ok()) << "the run must be refused";
        EXPECT_EQ(kProgramPrefix + results.error().message() + "\n", expected.err);
    } else {
        ASSERT_TRUE(results.ok()) << results.error().message();
        const auto lines = textio::splitLines(expected.out);
        ASSERT_EQ(lines.size(), calc::resultKeys().size()) << expected.out;
        for (size_t k = 0; k < lines.size(); ++k)
            EXPECT_EQ(calc::resultKeys()[k].first + " " + (*results)[k], lines[k]);
    }
    expectListing(c, work, expected.status != calc::kExitOk);
}

TEST_P(TamsoCalcOnCase, PrintsTheExpectedResults) {
    const Case& c = GetParam();
    const Expectation expected = readExpectation(c.folder / "expected.txt");
    test::TempFolder work;
    copyWorkFolder(c, work);
    const Expectation printed = runProgram(work, readConditions(c.folder / "conditions.txt"));
    EXPECT_EQ(printed.status, expected.status);
    EXPECT_EQ(printed.out, expected.out);
    EXPECT_EQ(printed.err, expected.err);
    expectListing(c, work, expected.status != calc::kExitOk);
}

INSTANTIATE_TEST_SUITE_P(TestsData, EngineOnCase, ::testing::ValuesIn(findCases()), testName);
INSTANTIATE_TEST_SUITE_P(TestsData, TamsoCalcOnCase, ::testing::ValuesIn(findCases()), testName);
