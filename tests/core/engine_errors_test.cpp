// Runs outside the model stop with a message before anything beyond the tables is read, and a
// refused run changes no result, no field and no listing.

#include "engine/calculation.h"
#include "engine/conditionlimits.h"
#include "refdata/referenceloader.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

using namespace tamso;

namespace {

struct Refusal {
    const char* name;
    std::function<void(engine::CalculationState&, engine::ConditionTexts&, const test::TempFolder&)> prepare;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

std::unique_ptr<engine::CalculationState> loaded(const test::TempFolder& folder) {
    return test::loadMinimalInstallation(folder.path());
}

const engine::ResultField kRunFields[] = {engine::ResultField::ExposureWithScatterCkg,  engine::ResultField::ExposureAt1mCkg, engine::ResultField::Hvl1MmAl,
                                  engine::ResultField::QuarterValueLayerMmAl, engine::ResultField::EffectiveEnergyKev, engine::ResultField::QualityIndex,
                                  engine::ResultField::BackscatterFactor, engine::ResultField::DoseConversionFactor, engine::ResultField::EntranceSurfaceDoseMGy};

} // namespace

class RefusedRun : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefusedRun, StopsWithAMessageAndChangesNoResult) {
    test::TempFolder folder;
    auto state = loaded(folder);
    engine::ResultTexts results;
    ASSERT_TRUE(
        engine::runCalculation(*state, engine::ConditionTexts{}, results, engine::listingInto(folder.path()))
            .ok()); // a good run first
    const std::string listing = test::readBytes(folder.file("Beam_data.dat"));
    const double dose = state->entranceSurfaceDoseMGy;
    const double hvl = state->hvl1Cm;
    engine::ResultTexts before = results;

    engine::ConditionTexts fields;
    GetParam().prepare(*state, fields, folder);
    Status e = engine::runCalculation(*state, fields, results, engine::listingInto(folder.path()));
    ASSERT_FALSE(e.ok());
    EXPECT_FALSE(e.message().empty());
    for (engine::ResultField f : kRunFields)
        EXPECT_EQ(results.resultText(f), before.resultText(f)) << static_cast<int>(f);
    EXPECT_EQ(state->entranceSurfaceDoseMGy, dose);
    EXPECT_EQ(state->hvl1Cm, hvl);
    if (std::filesystem::is_regular_file(folder.file("Beam_data.dat"))) {
        EXPECT_EQ(test::readBytes(folder.file("Beam_data.dat")), listing);
    }
}

INSTANTIATE_TEST_SUITE_P(
    OutsideTheModel, RefusedRun,
    ::testing::Values(
        Refusal{"AngleWithZeroSine", [](auto&, auto& f, auto&) { f.targetAngleDeg = "0"; }},
        Refusal{"VoltageAt150", [](auto&, auto& f, auto&) { f.tubeVoltageKv = "150"; }},
        Refusal{"VoltageAbove150", [](auto&, auto& f, auto&) { f.tubeVoltageKv = "200"; }},
        Refusal{"ZeroVoltage", [](auto&, auto& f, auto&) { f.tubeVoltageKv = "0"; }},
        Refusal{"NegativeVoltage", [](auto&, auto& f, auto&) { f.tubeVoltageKv = "-5"; }},
        Refusal{"VoltageWithoutBins", [](auto&, auto& f, auto&) { f.tubeVoltageKv = "0.9"; }},
        Refusal{"VoltageOverflow", [](auto&, auto& f, auto&) { f.tubeVoltageKv = "1e400"; }},
        Refusal{"AboveTheTubeOutputTable", [](auto&, auto& f, auto&) { f.tubeVoltageKv = "85"; }},
        Refusal{"BelowTheTubeOutputTable", [](auto&, auto& f, auto&) { f.tubeVoltageKv = "30"; }},
        Refusal{"ZeroMas", [](auto&, auto& f, auto&) { f.mAs = "0"; }},
        Refusal{"NegativeMas", [](auto&, auto& f, auto&) { f.mAs = "-5"; }},
        Refusal{"EmptyMas", [](auto&, auto& f, auto&) { f.mAs = ""; }},
        Refusal{"NegativeWValue", [](auto& s, auto&, auto&) { s.wAirEv = -33.97; }},
        Refusal{"NegativeScatterFromExtrapolatedKeys",
                [](auto& s, auto&, auto&) {
                    // Keys that stop short of the clamped 40 cm: the ratio falls below -1 beyond them.
                    for (int r = 1; r <= 4; ++r) {
                        s.SprDistanceTable[r] = 5 + r;
                        for (int c = 1; c <= 3; ++c)
                            s.ScatterPrimaryRatioTable[c][r] = 0.5 - 0.5 * r;
                    }
                }},
        Refusal{"EqualVoltagesInRowsOneAndTwo",
                [](auto& s, auto& f, auto&) {
                    s.TubeOutputTable[1][2] = 40;
                    f.tubeVoltageKv = "30";
                }},
        Refusal{"ZeroFfd", [](auto&, auto& f, auto&) { f.ffdCm = "0"; }},
        Refusal{"NegativeFfd", [](auto&, auto& f, auto&) { f.ffdCm = "-100"; }},
        Refusal{"ZeroFocusSkinDistance", [](auto&, auto& f, auto&) { f.subjectThicknessCm = "100"; }},
        Refusal{"SubjectThickerThanFfd", [](auto&, auto& f, auto&) { f.subjectThicknessCm = "120"; }},
        Refusal{"NoBeamThroughTheFilter", [](auto&, auto& f, auto&) { f.addedFilterCuMm = "1e5"; }},
        Refusal{"TransmissionNeverHalved", [](auto& s, auto&, auto&) { s.AluminiumMuTable.fill(0.0001); }},
        Refusal{"NoCoefficientBelowTheEffectiveOne", [](auto& s, auto&, auto&) { s.AluminiumMuTable.fill(2.0); }},
        Refusal{"ZeroAirCoefficientInTheSummedBins", [](auto& s, auto&, auto&) { s.AirMuEnTable[7] = 0; }},
        Refusal{"ZeroTissueCoefficients", [](auto& s, auto&, auto&) { s.TissueMuEnTable.fill(0); }},
        Refusal{"RepeatedScatterDistance", [](auto& s, auto&, auto&) { s.SprDistanceTable[3] = s.SprDistanceTable[2]; }},
        Refusal{"FallingScatterArea", [](auto& s, auto&, auto&) { s.SprFieldAreaTable[3] = 50; }},
        Refusal{"DoseOverflowAtTheLastStep",
                [](auto&, auto& f, auto&) {
                    f.ffdCm = "1e-300";
                    f.subjectThicknessCm = "0";
                }},
        Refusal{"ListingIsAFolder",
                [](auto&, auto&, const test::TempFolder& folder) {
                    std::filesystem::remove(folder.file("Beam_data.dat"));
                    std::filesystem::create_directory(folder.file("Beam_data.dat"));
                }}),
    [](const auto& info) { return std::string(info.param.name); });

// A number typed beyond the range of a double is no 0: the run stops and names the field.
TEST(RefusedRunInput, NumbersOutOfRangeNameTheirField) {
    const std::string huge = std::string(400, '1') + "E-07";
    const struct {
        std::string engine::ConditionTexts::*field;
        const char* caption;
    } cases[] = {{&engine::ConditionTexts::subjectThicknessCm, "被写体厚"}, // as 0 the run would go on with no thickness
                 {&engine::ConditionTexts::addedFilterAlMm, "付加フィルタ（アルミ）"},
                 {&engine::ConditionTexts::mAs, "Ｘ線管電流×照射時間"},
                 {&engine::ConditionTexts::fieldShortCm, "照射野サイズ（短軸方向）"}};
    for (const auto& c : cases) {
        test::TempFolder folder;
        auto state = loaded(folder);
        engine::ConditionTexts fields;
        fields.*c.field = huge;
        engine::ResultTexts results;
        Status e = engine::runCalculation(*state, fields, results, engine::listingInto(folder.path()));
        ASSERT_FALSE(e.ok()) << c.caption;
        EXPECT_NE(
            e.message().find(std::string(c.caption) + "の入力値「" + std::string(40, '1') + "…」は大きすぎて"),
            std::string::npos)
            << e.message();
        EXPECT_EQ(results.resultText(engine::ResultField::EntranceSurfaceDoseMGy), "");
        EXPECT_FALSE(std::filesystem::exists(folder.file("Beam_data.dat")));
    }
    // Too small for a double is 0, a value the run takes.
    test::TempFolder folder;
    auto state = loaded(folder);
    engine::ConditionTexts fields;
    fields.addedFilterAlMm = "0." + std::string(400, '0') + "1";
    engine::ResultTexts results;
    EXPECT_TRUE(engine::runCalculation(*state, fields, results, engine::listingInto(folder.path())).ok());
    EXPECT_EQ(state->addedFilterAlCm, 0);
}

// The skin at least 30 cm from the focus and the hood/cover between the two, or no dose: an FFD a
// hair above the thickness once gave 143,894,847,916 mGy, and a hood below the skin was computed as
// if it were just above it. The message names the values; the edges themselves compute.
TEST(RefusedRunInput, GeometryKeepsTheSkinAwayAndTheHoodBetweenFocusAndSkin) {
    const struct {
        const char* ffd;
        const char* thickness;
        const char* focusHood;
        const char* message; // empty: the run computes
    } cases[] = {
        {"30.0001", "0.5", "5", "被写体厚 0.5 cm は範囲外です。1 cm 以上 30 cm 以下で入力してください。"},
        {"31", "1.0001", "5",
         "焦点－皮膚間距離 29.9999 cm（FFD 31 cm − 被写体厚 1.0001 cm）が 30 cm 未満です。"
         "FFD と被写体厚を確認してください。"},
        {"39.99", "10", "20",
         "焦点－皮膚間距離 29.99 cm（FFD 39.99 cm − 被写体厚 10 cm）が 30 cm 未満です。"},
        {"40", "10", "20", ""},
        {"100", "10", "95",
         "焦点－フード・カバー間距離 95 cm は、0 cm より長く"
         "焦点－皮膚間距離 90 cm（FFD 100 cm − 被写体厚 10 cm）より短くなければなりません"
         "（フード・カバーは焦点と皮膚の間にあります）。"},
        {"100", "10", "90", "焦点－フード・カバー間距離 90 cm は"},
        {"100", "10", "89.99", ""},
        {"100", "10", "0", "焦点-フード・カバー間距離 0 cm は範囲外です。0 cm より大きく 500 cm 以下"},
        {"100", "-30", "-1", "被写体厚 -30 cm は範囲外です"},
    };
    for (const auto& c : cases) {
        test::TempFolder folder;
        auto state = loaded(folder);
        engine::ConditionTexts fields;
        fields.ffdCm = c.ffd;
        fields.subjectThicknessCm = c.thickness;
        fields.focusHoodDistanceCm = c.focusHood;
        engine::ResultTexts results;
        const Status run =
            engine::runCalculation(*state, fields, results, engine::listingInto(folder.path()));
        const std::string label = std::string(c.ffd) + " " + c.thickness + " " + c.focusHood;
        if (std::string(c.message).empty()) {
            EXPECT_TRUE(run.ok()) << label << ": " << run.message();
            continue;
        }
        ASSERT_FALSE(run.ok()) << label;
        EXPECT_EQ(run.message().rfind(c.message, 0), 0u) << label << ": " << run.message();
        EXPECT_EQ(results.resultText(engine::ResultField::EntranceSurfaceDoseMGy), "") << label;
    }
}

TEST(RefusedRunInput, NegativeMeasuredExposureGivesNoResult) {
    test::TempFolder folder;
    auto state = loaded(folder);
    state->exposureSource = 1;
    engine::ResultTexts results;
    results.setResultText(engine::ResultField::MeasuredExposureCkg, "-2.58E-4");
    Status e =
        engine::runCalculation(*state, engine::ConditionTexts{}, results, engine::listingInto(folder.path()));
    ASSERT_FALSE(e.ok());
    EXPECT_NE(e.message().find("負の値"), std::string::npos) << e.message();
    EXPECT_EQ(results.resultText(engine::ResultField::ExposureAt1mCkg), "");
    EXPECT_EQ(results.resultText(engine::ResultField::EntranceSurfaceDoseMGy), "");
}

TEST(RefusedRunFolder, WorkingFolderThatIsAFileStopsTheRun) {
    test::TempFolder folder;
    auto state = loaded(folder);
    const auto notAFolder = folder.file("plain.txt");
    test::writeBytes(notAFolder, "x");
    engine::ResultTexts results;
    Status e =
        engine::runCalculation(*state, engine::ConditionTexts{}, results, engine::listingInto(notAFolder));
    ASSERT_FALSE(e.ok());
    EXPECT_NE(e.message().find("Beam_data.dat"), std::string::npos);
    EXPECT_EQ(results.resultText(engine::ResultField::Hvl1MmAl), "");
}

TEST(EngineLimits, ZeroAirCoefficientBelowTheSummedBinsIsAccepted) {
    test::TempFolder folder;
    auto state = loaded(folder);
    state->AirMuEnTable[4] = 0; // the conversion factor sums from bin 5
    engine::ResultTexts results;
    Status e =
        engine::runCalculation(*state, engine::ConditionTexts{}, results, engine::listingInto(folder.path()));
    EXPECT_TRUE(e.ok()) << e.message();
}

TEST(EngineLimits, CaregiverTableMustAscendToAtLeast120) {
    engine::CalculationState s;
    for (int i = 1; i <= 6; ++i) {
        s.AmbientDoseTable[0][0][i] = 60 + 10 * i;
        s.AmbientDoseTable[1][1][i] = s.AmbientDoseTable[1][2][i] = s.AmbientDoseTable[1][3][i] = 0.1;
    }
    s.tubeVoltageKv = 50;
    s.ffdCm = 100;
    s.mAs = 5;
    engine::ResultTexts results;
    ASSERT_TRUE(engine::computeCaregiverDose(s, results).ok());

    engine::CalculationState repeated = s;
    repeated.AmbientDoseTable[0][0][4] = 90;
    results.setResultText(engine::ResultField::CaregiverDose1USv, "old");
    Status e = engine::computeCaregiverDose(repeated, results);
    ASSERT_FALSE(e.ok());
    EXPECT_FALSE(e.message().empty());
    EXPECT_EQ(results.resultText(engine::ResultField::CaregiverDose1USv), "old");

    engine::CalculationState shortTable = s;
    shortTable.AmbientDoseTable[0][0][6] = 115;
    EXPECT_FALSE(engine::computeCaregiverDose(shortTable, results).ok());

    engine::CalculationState huge = s;
    huge.mAs = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(engine::computeCaregiverDose(huge, results).ok());

    // A voltage column that falls below 0 between the tabulated ones gives no dose below 0.
    engine::CalculationState negative = s;
    negative.AmbientDoseTable[1][2][4] = 0.1;
    negative.AmbientDoseTable[2][2][4] = -0.3;
    negative.tubeVoltageKv = 58;
    results.setResultText(engine::ResultField::CaregiverDose2USv, "old");
    Status e2 = engine::computeCaregiverDose(negative, results);
    ASSERT_FALSE(e2.ok());
    EXPECT_NE(e2.message().find("計算結果（周辺線量）が負の値"), std::string::npos) << e2.message();
    EXPECT_EQ(results.resultText(engine::ResultField::CaregiverDose2USv), "old");
}

// A table whose rows from 100 cm on were never filled in (zeros) gives no caregiver dose of 0.000
// for an exposure that has mAs; zero mAs still gives 0.000, and a zero cell that the
// interpolation does not lean on is no obstacle.
TEST(EngineLimits, CaregiverTableCutOffGivesNoZeroDose) {
    engine::CalculationState s;
    for (int i = 1; i <= 6; ++i) {
        s.AmbientDoseTable[0][0][i] = 60 + 10 * i;
        for (int j = 1; j <= 2; ++j)
            for (int k = 1; k <= 3; ++k)
                s.AmbientDoseTable[j][k][i] = i >= 4 ? 0.0 : 0.1 * i;
    }
    s.tubeVoltageKv = 50;
    s.ffdCm = 100;
    s.mAs = 5;
    engine::ResultTexts results;
    results.setResultText(engine::ResultField::CaregiverDose1USv, "old");
    Status e = engine::computeCaregiverDose(s, results);
    ASSERT_FALSE(e.ok());
    EXPECT_NE(e.message().find("kaijo_dose.dat"), std::string::npos) << e.message();
    EXPECT_EQ(results.resultText(engine::ResultField::CaregiverDose1USv), "old");

    s.ffdCm = 95; // half of row 3 is still something
    ASSERT_TRUE(engine::computeCaregiverDose(s, results).ok());
    EXPECT_EQ(results.resultText(engine::ResultField::CaregiverDose1USv), "0.750");
    s.ffdCm = 90; // row 3 exactly; row 4 has no weight
    ASSERT_TRUE(engine::computeCaregiverDose(s, results).ok());
    EXPECT_EQ(results.resultText(engine::ResultField::CaregiverDose1USv), "1.500");
    s.ffdCm = 100;
    s.mAs = 0;
    ASSERT_TRUE(engine::computeCaregiverDose(s, results).ok());
    EXPECT_EQ(results.resultText(engine::ResultField::CaregiverDose1USv), "0.000");
}

// Whatever is typed into any field, a run either stops with a message or gives finite results.
TEST(EngineLimits, AnyTypedTextIsEitherRefusedOrFinite) {
    test::TempFolder folder;
    auto state = loaded(folder);
    std::string engine::ConditionTexts::*const fields[] = {
        &engine::ConditionTexts::targetAngleDeg, &engine::ConditionTexts::inherentFilterAlMm, &engine::ConditionTexts::addedFilterAlMm,  &engine::ConditionTexts::addedFilterCuMm,
        &engine::ConditionTexts::tubeVoltageKv, &engine::ConditionTexts::mAs, &engine::ConditionTexts::ffdCm,  &engine::ConditionTexts::subjectThicknessCm,
        &engine::ConditionTexts::focusHoodDistanceCm, &engine::ConditionTexts::fieldLongCm, &engine::ConditionTexts::fieldShortCm};
    const char* typed[] = {"0", "-1", "1e308", "-1e308", "abc", "", "1e-320", "149.99", "99999", "-0", "180", "1 2"};
    for (auto field : fields) {
        for (const char* text : typed) {
            engine::ConditionTexts conditions;
            conditions.*field = text;
            engine::ResultTexts results;
            Status e =
                engine::runCalculation(*state, conditions, results, engine::listingInto(folder.path()));
            if (!e.ok()) {
                EXPECT_FALSE(e.message().empty());
                continue;
            }
            for (double v : {state->hvl1Cm, state->quarterValueLayerCm, state->effectiveEnergyKev,
                             state->exposureAt1mCkg, state->backscatterFactor, state->doseConversionFactor,
                             state->entranceSurfaceDoseMGy})
                EXPECT_TRUE(std::isfinite(v)) << text;
            EXPECT_TRUE(engine::computeCaregiverDose(*state, results).ok()) << text;
        }
    }
}

// Every condition is refused just outside its plausible range and accepted at its edge, by the run
// that every way in calls; the message names the field, the value and the range.
TEST(RefusedRunInput, EachConditionAtAndBeyondTheEdgesOfItsRange) {
    using engine::ConditionId;
    const struct {
        ConditionId id;
        const char* accepted;
        const char* refused;
    } cases[] = {
        {ConditionId::TargetAngle, "89.9", "90"},       {ConditionId::TargetAngle, "0.1", "0"},
        {ConditionId::InherentFilterAl, "0", "-0.1"},   {ConditionId::InherentFilterAl, "10", "10.1"},
        {ConditionId::AddedFilterAl, "10", "10.01"},    {ConditionId::AddedFilterCu, "1", "1.01"},
        {ConditionId::TubeVoltage, "79.9", "150"},      {ConditionId::TubeVoltage, "40", "19.9"},
        {ConditionId::MAs, "0.01", "0.009"},            {ConditionId::MAs, "1000", "1000.1"},
        {ConditionId::Ffd, "500", "500.1"},             {ConditionId::Ffd, "100", "29.9"},
        {ConditionId::Thickness, "1", "0"},             {ConditionId::Thickness, "30", "30.5"},
        {ConditionId::FocusHood, "60", "0"},            {ConditionId::FieldLong, "100", "100.1"},
        {ConditionId::FieldShort, "1", "0.9"},
    };
    for (const auto& c : cases) {
        const engine::ConditionLimit& limit = engine::conditionLimit(c.id);
        for (const char* value : {c.accepted, c.refused}) {
            test::TempFolder folder;
            auto state = loaded(folder);
            engine::ConditionTexts fields;
            fields.*limit.text = value;
            if (c.id == ConditionId::Ffd && std::string(value) == "500")
                fields.focusHoodDistanceCm = "60";
            engine::ResultTexts results;
            const Status run =
                engine::runCalculation(*state, fields, results, engine::listingInto(folder.path()));
            const bool refused = value == c.refused;
            EXPECT_EQ(!run.ok(), refused) << limit.caption << " " << value << ": " << (run.ok() ? "" : run.message());
            if (refused && !run.ok()) {
                EXPECT_EQ(run.message(), std::string(limit.caption) + " " + value + " " + limit.unit +
                                             " は範囲外です。" + limit.rangeText() + "で入力してください。");
            }
        }
    }
    // A text that is no number is said to be none, naming the field.
    test::TempFolder folder;
    auto state = loaded(folder);
    engine::ConditionTexts fields;
    fields.tubeVoltageKv = "abc";
    engine::ResultTexts results;
    const Status run = engine::runCalculation(*state, fields, results, engine::listingInto(folder.path()));
    ASSERT_FALSE(run.ok());
    EXPECT_EQ(run.message().rfind("Ｘ線管電圧の入力値「abc」は数値ではありません。", 0), 0u) << run.message();
}
