#include "refdata/referencefiles.h"

#include "textio/fileio.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "textio/textreader.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace tamso::refdata {

using textio::TextReader;

namespace {

Error fileError(const fs::path& file, const std::string& detail) {
    return Error(ErrorCode::ReferenceFileUnreadable, {textio::fileNameUtf8(file), detail});
}

// The most bytes a reference file may hold: 256 characters for each of its numbers, many times the
// widest way to write one, plus 1 MiB for its text lines and whatever follows the last needed field.
// Far beyond what any of the layouts needs, and it keeps a wrong file (a disk image, a log that
// grew) from filling the memory.
std::uintmax_t sizeLimit(int numbers) {
    return (std::uintmax_t{1} << 20) + 256u * static_cast<unsigned>(numbers);
}

constexpr int kBasicDataNumbers = 3;
constexpr int kBackscatterNumbers = engine::kBsfRingCount * (engine::kBsfEnergyCount + 1);
constexpr int kAttenuationNumbers = engine::kTopBin * 7;
constexpr int kTubeOutputNumbers = 2 * engine::kTubeOutputRows + 2;
constexpr int kScatterRatioNumbers =
    engine::kSprDistanceRows * (engine::kSprAreaColumns + 1) + engine::kSprAreaColumns;
constexpr int kAmbientDoseNumbers = engine::kAmbientRows * 7;

// Only the bytes up to the last needed field have to be Shift-JIS: anything after it is ignored.
Expected<TextReader> openReader(const fs::path& file, int numbers) {
    auto bytes = textio::readRegularFileBytes(file, sizeLimit(numbers));
    if (!bytes.ok())
        return bytes.error();
    return TextReader(textio::sjisToUtf8MarkingUnreadable(*bytes));
}

// A value that the layout of the file rules out. The message names the file, the value (record and
// field, or its name), the line and the text as written, and why it cannot be right.
Error implausible(const fs::path& file, const TextReader& reader, const std::string& what,
                  const std::string& rule) {
    return Error(ErrorCode::ReferenceValueImplausible,
                 {textio::fileNameUtf8(file), what, std::to_string(reader.lastNumberLine()),
                  textio::quotedFieldText(reader.lastNumberText()), rule});
}

const char* const kNonNegative = "0 以上でなければなりません";
const char* const kPositive = "0 より大きくなければなりません";

std::string aboveRule(const std::string& previousWhat, const std::string& previousText) {
    return previousWhat + "（" + textio::quotedFieldText(previousText) + "）より大きくなければなりません";
}

// Reads one number into target; on failure returns the error naming the file. `what` (the value's
// name) is evaluated only when the read fails: the large tables name thousands of values.
#define TAMSO_READ_NUMBER(reader, file, target, what)                                                        \
    do {                                                                                                     \
        auto tamsoValue_ = (reader).readNumber();                                                            \
        if (!tamsoValue_.ok())                                                                               \
            return fileError(file, std::string(what) + tamsoValue_.error().message());                         \
        (target) = *tamsoValue_;                                                                             \
    } while (false)

// Returns the error for the number read last when the condition does not hold; `what` and `rule`
// are evaluated only then.
#define TAMSO_REQUIRE(reader, file, condition, what, rule)                                                   \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            return implausible(file, reader, what, rule);                                                    \
    } while (false)

std::string recordField(int record, int field) {
    return std::to_string(record) + " 番目の記録の " + std::to_string(field) + " 番目の値";
}

// An exposure at 1 m per mAs above this is no X-ray tube's output (about 34 mGy of air kerma per mAs,
// some hundred times the strongest diagnostic tube); a number this large there is another value
// read in its place, a tube voltage for one.
constexpr double kMaxExposureCkgPerMas = 1e-3;

} // namespace

Expected<BasicData> readBasicDataFile(const fs::path& folder) {
    const fs::path file = textio::fileInFolder(folder, kBasicDataFileName);
    auto reader = openReader(file, kBasicDataNumbers);
    if (!reader.ok())
        return reader.error();
    BasicData data;
    TAMSO_READ_NUMBER(*reader, file, data.wAirEv, "W 値");
    auto unit = reader->readText("撮影装置名");
    if (!unit.ok())
        return fileError(file, unit.error().message());
    data.xrayUnitName = *unit;
    TAMSO_READ_NUMBER(*reader, file, data.targetAngleDeg, "ターゲット角度");
    TAMSO_READ_NUMBER(*reader, file, data.inherentFilterAlMm, "固有ろ過");
    auto hospital = reader->readText("医療施設名");
    if (!hospital.ok())
        return fileError(file, hospital.error().message());
    data.hospitalName = *hospital;
    return data;
}

Status writeBasicDataFile(const fs::path& folder, const BasicData& data) {
    return textio::writeTextLines(textio::fileInFolder(folder, kBasicDataFileName),
                                  {textio::numberWriteForm(data.wAirEv), data.xrayUnitName,
                                   textio::numberWriteForm(data.targetAngleDeg),
                                   textio::numberWriteForm(data.inherentFilterAlMm), data.hospitalName});
}

void applyBasicData(engine::CalculationState& state, const BasicData& data) {
    state.wAirEv = data.wAirEv;
    state.xrayUnitName = data.xrayUnitName;
    state.targetAngleDeg = data.targetAngleDeg;
    state.defaultInherentFilterAlMm = data.inherentFilterAlMm;
    state.hospitalName = data.hospitalName;
}

// Checked as read: tube voltages not negative and strictly ascending (the exposure is interpolated
// between neighbouring rows), exposures above 0 and within what a tube gives, filtrations not
// negative.
Expected<TubeOutputData> readTubeOutputFile(const fs::path& file) {
    auto reader = openReader(file, kTubeOutputNumbers);
    if (!reader.ok())
        return reader.error();
    TubeOutputData data;
    auto comment = reader->readText("コメント行");
    if (!comment.ok())
        return fileError(file, comment.error().message());
    data.comment = *comment;
    std::string previousText;
    for (int r = 1; r <= engine::kTubeOutputRows; ++r) {
        const std::string what = std::to_string(r) + " 番目の管電圧";
        TAMSO_READ_NUMBER(*reader, file, data.voltageKv[r], what);
        TAMSO_REQUIRE(*reader, file, data.voltageKv[r] >= 0, what, kNonNegative);
        TAMSO_REQUIRE(*reader, file, r == 1 || data.voltageKv[r] > data.voltageKv[r - 1], what,
                      aboveRule(std::to_string(r - 1) + " 番目の管電圧", previousText));
        previousText = reader->lastNumberText();
    }
    for (int r = 1; r <= engine::kTubeOutputRows; ++r) {
        const std::string what = std::to_string(r) + " 番目の照射線量";
        TAMSO_READ_NUMBER(*reader, file, data.exposureCkgPerMas[r], what);
        TAMSO_REQUIRE(*reader, file, data.exposureCkgPerMas[r] > 0, what, kPositive);
        TAMSO_REQUIRE(*reader, file, data.exposureCkgPerMas[r] <= kMaxExposureCkgPerMas, what,
                      "X線管の 1 mAs あたりの照射線量としては大きすぎます（1.0E-03 C/kg 以下）");
    }
    TAMSO_READ_NUMBER(*reader, file, data.refFilterAlMm, "測定時のアルミろ過");
    TAMSO_REQUIRE(*reader, file, data.refFilterAlMm >= 0, "測定時のアルミろ過", kNonNegative);
    TAMSO_READ_NUMBER(*reader, file, data.refFilterCuMm, "測定時の銅ろ過");
    TAMSO_REQUIRE(*reader, file, data.refFilterCuMm >= 0, "測定時の銅ろ過", kNonNegative);
    return data;
}

Status writeTubeOutputFile(const fs::path& file, const TubeOutputData& data) {
    std::string voltages;
    std::string exposures;
    for (int r = 1; r <= engine::kTubeOutputRows; ++r) {
        voltages += textio::formatNumber(data.voltageKv[r], "###.# ");
        exposures += textio::formatNumber(data.exposureCkgPerMas[r], "0.00E+00 ");
    }
    exposures += textio::formatNumber(data.refFilterAlMm, "#0.00 ");
    exposures += textio::formatNumber(data.refFilterCuMm, "#0.00");
    return textio::writeTextLines(file, {data.comment, voltages, exposures});
}

void applyTubeOutputData(engine::CalculationState& state, const TubeOutputData& data) {
    state.outputDataComment = data.comment;
    for (int r = 1; r <= engine::kTubeOutputRows; ++r) {
        state.TubeOutputTable[1][r] = data.voltageKv[r];
        state.TubeOutputTable[2][r] = data.exposureCkgPerMas[r];
    }
    state.refFilterAlCm = data.refFilterAlMm * 0.1;
    state.refFilterCuCm = data.refFilterCuMm * 0.1;
}

// Checked as read: distance keys not negative and strictly ascending (the caregiver estimate
// interpolates between neighbouring rows), dose equivalents not negative.
Expected<AmbientDoseData> readAmbientDoseFile(const fs::path& file) {
    auto reader = openReader(file, kAmbientDoseNumbers);
    if (!reader.ok())
        return reader.error();
    AmbientDoseData data;
    std::string previousKeyText;
    for (int i = 1; i <= engine::kAmbientRows; ++i) {
        int field = 1;
        const std::string keyWhat = recordField(i, field);
        double& key = data.cells[0][0][i];
        TAMSO_READ_NUMBER(*reader, file, key, keyWhat);
        TAMSO_REQUIRE(*reader, file, key >= 0, keyWhat, kNonNegative);
        TAMSO_REQUIRE(*reader, file, i == 1 || key > data.cells[0][0][i - 1], keyWhat,
                      aboveRule("前の記録の距離", previousKeyText));
        previousKeyText = reader->lastNumberText();
        for (int a = 1; a <= 2; ++a)
            for (int b = 1; b <= 3; ++b) {
                ++field;
                TAMSO_READ_NUMBER(*reader, file, data.cells[a][b][i], recordField(i, field));
                TAMSO_REQUIRE(*reader, file, data.cells[a][b][i] >= 0, recordField(i, field), kNonNegative);
            }
    }
    return data;
}

Status writeAmbientDoseFile(const fs::path& file, const AmbientDoseData& data) {
    std::vector<std::string> lines;
    for (int i = 1; i <= engine::kAmbientRows; ++i) {
        std::string line = textio::formatNumber(data.cells[0][0][i], " 000.0");
        for (int a = 1; a <= 2; ++a)
            for (int b = 1; b <= 3; ++b)
                line += textio::formatNumber(data.cells[a][b][i], " 0.00");
        lines.push_back(line);
    }
    return textio::writeTextLines(file, lines);
}

// Checked as read: every ring's share of (backscatter factor - 1) not negative, and each energy's
// sum over the rings a number. The leading field of a record is any number.
Status readBackscatterFile(const fs::path& file, engine::CalculationState& state) {
    auto reader = openReader(file, kBackscatterNumbers);
    if (!reader.ok())
        return reader.error();
    double discarded = 0;
    double sums[engine::kBsfEnergyCount + 1] = {};
    for (int j = 1; j <= engine::kBsfRingCount; ++j) {
        TAMSO_READ_NUMBER(*reader, file, discarded, recordField(j, 1));
        for (int k = 1; k <= engine::kBsfEnergyCount; ++k) {
            TAMSO_READ_NUMBER(*reader, file, state.MonoBsfTable[k][j], recordField(j, k + 1));
            TAMSO_REQUIRE(*reader, file, state.MonoBsfTable[k][j] >= 0, recordField(j, k + 1), kNonNegative);
            sums[k] += state.MonoBsfTable[k][j];
            TAMSO_REQUIRE(*reader, file, std::isfinite(sums[k]), recordField(j, k + 1),
                          "大きすぎます（" + std::to_string(k + 1) +
                              " 番目の値の合計が数値の範囲を超えます）");
        }
    }
    (void)discarded;
    return {};
}

// Checked as read: every coefficient not negative. The leading field of a record is any number.
Status readAttenuationFile(const fs::path& file, engine::CalculationState& state) {
    auto reader = openReader(file, kAttenuationNumbers);
    if (!reader.ok())
        return reader.error();
    double discarded = 0;
    for (int i = 1; i <= engine::kTopBin; ++i) {
        TAMSO_READ_NUMBER(*reader, file, discarded, recordField(i, 1));
        engine::BinTable* const columns[] = {&state.TungstenMuTable, &state.AluminiumMuTable,
                                             &state.CopperMuTable,   &state.AirMuEnTable,
                                             &state.TissueMuEnTable, &state.PmmaMuTable};
        int field = 1;
        for (engine::BinTable* column : columns) {
            ++field;
            TAMSO_READ_NUMBER(*reader, file, (*column)[i], recordField(i, field));
            TAMSO_REQUIRE(*reader, file, (*column)[i] >= 0, recordField(i, field), kNonNegative);
        }
    }
    (void)discarded;
    return {};
}

// Checked as read: distance keys and field-area keys not negative and strictly ascending (the dose
// interpolates between neighbours), scatter-to-primary ratios not negative.
Status readScatterRatioFile(const fs::path& file, engine::CalculationState& state) {
    auto reader = openReader(file, kScatterRatioNumbers);
    if (!reader.ok())
        return reader.error();
    std::string previousText;
    for (int r = 1; r <= engine::kSprDistanceRows; ++r) {
        const std::string keyWhat = recordField(r, 1);
        double& key = state.SprDistanceTable[r];
        TAMSO_READ_NUMBER(*reader, file, key, keyWhat);
        TAMSO_REQUIRE(*reader, file, key >= 0, keyWhat, kNonNegative);
        TAMSO_REQUIRE(*reader, file, r == 1 || key > state.SprDistanceTable[r - 1], keyWhat,
                      aboveRule("前の記録の距離", previousText));
        previousText = reader->lastNumberText();
        for (int c = 1; c <= engine::kSprAreaColumns; ++c) {
            TAMSO_READ_NUMBER(*reader, file, state.ScatterPrimaryRatioTable[c][r], recordField(r, c + 1));
            TAMSO_REQUIRE(*reader, file, state.ScatterPrimaryRatioTable[c][r] >= 0, recordField(r, c + 1),
                          kNonNegative);
        }
    }
    for (int c = 1; c <= engine::kSprAreaColumns; ++c) {
        const std::string what = std::to_string(c) + " 番目の照射野面積";
        double& area = state.SprFieldAreaTable[c];
        TAMSO_READ_NUMBER(*reader, file, area, what);
        TAMSO_REQUIRE(*reader, file, area >= 0, what, kNonNegative);
        TAMSO_REQUIRE(*reader, file, c == 1 || area > state.SprFieldAreaTable[c - 1], what,
                      aboveRule(std::to_string(c - 1) + " 番目の照射野面積", previousText));
        previousText = reader->lastNumberText();
    }
    return {};
}

void fillBsfEnergyTable(engine::CalculationState& state) {
    for (int k = 2; k <= engine::kBsfEnergyCount; ++k)
        state.BsfEnergyTable[k] = 5.0 * (k - 1);
    state.BsfEnergyTable[1] = 1;
}

} // namespace tamso::refdata
