// The catalogue of errors: every code has its sentence, placeholders and arguments fit, and the
// codes that callers act on reach them from the operations that fail.

#include "engine/conditionlimits.h"
#include "records/patientrecordsave.h"
#include "records/recordwithdrawal.h"
#include "textio/errorcatalog.h"
#include "textio/expected.h"
#include "textio/filereading.h"
#include "textio/textreader.h"
#include "errorcases.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace tamso {
namespace {

using textio::errorTemplate;
using textio::fillTemplate;

// The numbers N of the %N placeholders in a template.
std::set<size_t> placeholders(const std::string& pattern) {
    std::set<size_t> found;
    for (size_t i = 0; i + 1 < pattern.size(); ++i) {
        size_t end = i + 1;
        while (pattern[i] == '%' && end < pattern.size() && pattern[end] >= '0' && pattern[end] <= '9')
            ++end;
        if (end > i + 1)
            found.insert(std::stoul(pattern.substr(i + 1, end - i - 1)));
    }
    return found;
}

TEST(ErrorCatalogue, EveryCodeHasATemplateWhosePlaceholdersAFullSetOfArgumentsFills) {
    for (size_t c = 0; c < textio::kErrorCodeCount; ++c) {
        const auto code = static_cast<ErrorCode>(c);
        const std::string pattern = errorTemplate(code);
        ASSERT_FALSE(pattern.empty()) << "code " << c;
        const std::set<size_t> numbers = placeholders(pattern);
        // %1 .. %k without a gap, so that k arguments fill them all.
        ASSERT_TRUE(numbers.empty() || (*numbers.begin() == 1 && *numbers.rbegin() == numbers.size()))
            << "code " << c << ": " << pattern;
        const std::vector<std::string> args(numbers.size(), "X");
        const std::string filled = Error(code, args).message();
        EXPECT_TRUE(placeholders(filled).empty()) << "code " << c << ": " << filled;
    }
}

TEST(ErrorCatalogue, FillingReplacesEachPlaceholderOnceAndKeepsTheRest) {
    struct Case {
        const char* pattern;
        std::vector<std::string> args;
        const char* filled;
    } const cases[] = {
        {"「%1」と「%2」", {"A", "B"}, "「A」と「B」"},
        {"%2 → %1", {"A", "B"}, "B → A"},
        {"「%1」", {"50%2.pat"}, "「50%2.pat」"},          // an argument's own %N stays
        {"%1 番目の % の後", {"3"}, "3 番目の % の後"},   // a lone % is text
        {"%1 と %2", {"A"}, "A と %2"},                   // a missing argument shows
        {"%10 件", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "十"}, "十 件"},
        {"100%", {}, "100%"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fillTemplate(c.pattern, c.args), c.filled) << c.pattern;
}

TEST(ErrorCatalogue, StatusOfASuccessHasAnEmptyMessage) {
    const Status done;
    EXPECT_TRUE(done.ok());
    EXPECT_EQ(done.message(), "");
    const Status failed = Error(ErrorCode::FileMissing, {"A.pat"});
    EXPECT_EQ(failed.message(), "ファイル「A.pat」が見つかりません。");
}

// What a caller acts on comes as the code and its arguments, with the sentence as before.
TEST(ErrorCatalogue, FailuresCarryTheirCodeAndArguments) {
    test::TempFolder folder;
    const auto missing = textio::readTextFile(folder.file("無い.txt"));
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().code, ErrorCode::FileMissing);
    EXPECT_EQ(missing.error().arg(0), "無い.txt");
    EXPECT_EQ(missing.error().arg(5), "");

    const Error notice = records::continuationSavedMessage("P1.~2.pat");
    EXPECT_EQ(notice.code, ErrorCode::SavedToContinuation);
    EXPECT_EQ(notice.arg(1), "P1.~2.pat");
    EXPECT_EQ(notice.message(), "この患児の記録は 20 件を超えたため、続きのファイル「P1.~2.pat」に保存しました。");

    const Error busy(ErrorCode::RecordFileBusy, {"P1.pat"});
    EXPECT_EQ(busy.kind(), Error::Kind::Busy);
    EXPECT_EQ(Error(ErrorCode::FileCannotWrite, {"P1.pat", "ディスクがいっぱいです"}).kind(), Error::Kind::Failed);
    EXPECT_EQ(Error::text("そのままの文").message(), "そのままの文");
}

// Each layer's failures name their values in the order of their template's placeholders: the
// arguments a screen fills into a translated template must be the ones the sentence names.
TEST(ErrorCatalogue, FailuresOfEachLayerGiveTheirCodeWithTheValuesInOrder) {
    const test::ErrorCase cases[] = {
        {"number field", [] { return textio::TextReader(" 12x ").readNumber("管電圧").status(); },
         ErrorCode::NotANumber, {"管電圧", "1", "12x"}, "管電圧（1 行目の「12x」）が数値ではありません"},
        {"text ended", [] { return textio::TextReader("").readNumber("管電圧").status(); },
         ErrorCode::EndBeforeValue, {"管電圧"}, "管電圧を読む前にファイルが終わっています"},
        {"condition", [] { return engine::checkConditionValue(engine::ConditionId::TubeVoltage, 200); },
         ErrorCode::ConditionOutOfRange, {"Ｘ線管電圧", "200", "kV", "20 kV 以上 150 kV 未満"},
         "Ｘ線管電圧 200 kV は範囲外です。20 kV 以上 150 kV 未満で入力してください。"},
        {"patient ID", [] { return records::checkPatientId(""); }, ErrorCode::PatientIdUnusable,
         {"", "IDが空です"}, "患者ID「」はファイル名に使えません（IDが空です）。別のIDを入力して下さい。"},
        {"withdrawal line", [] { return records::parseWithdrawalLine("1,2").status(); },
         ErrorCode::WithdrawalFieldCount, {"2", "9"}, "項目が 2 個あります。9 個のはずです"},
    };
    test::expectErrorCases(cases);
}

} // namespace
} // namespace tamso
