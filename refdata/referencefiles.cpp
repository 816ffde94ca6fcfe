#include "refdata/referencefiles.h"

#include "textio/fileio.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "textio/textreader.h"

#include <vector>

namespace tamso::refdata {

using textio::TextReader;

namespace {

std::string quoted(const fs::path& file) { return "「" + textio::fileNameUtf8(file) + "」"; }

Error fileError(const fs::path& file, const std::string& detail) {
    return Error{"ファイル" + quoted(file) + "の読み込みに失敗しました: " + detail + "。"};
}

Expected<TextReader> openReader(const fs::path& file) {
    auto text = textio::readTextFile(file);
    if (!text)
        return text.error();
    return TextReader(std::move(*text));
}

// Reads one number into target; on failure returns the error naming the file.
#define TAMSO_READ_NUMBER(reader, file, target, what)                                                         \
    do {                                                                                                      \
        auto tamsoValue_ = (reader).readNumber(what);                                                         \
        if (!tamsoValue_)                                                                                     \
            return fileError(file, tamsoValue_.error().message);                                              \
        (target) = *tamsoValue_;                                                                              \
    } while (false)

std::string recordField(int record, int field) {
    return std::to_string(record) + " 番目の記録の " + std::to_string(field) + " 番目の値";
}

} // namespace

Expected<BasicData> readBasicDataFile(const fs::path& folder) {
    const fs::path file = textio::fileInFolder(folder, kBasicDataFileName);
    auto reader = openReader(file);
    if (!reader)
        return reader.error();
    BasicData data;
    TAMSO_READ_NUMBER(*reader, file, data.wAirEv, "W 値");
    auto unit = reader->readLine();
    if (!unit)
        return fileError(file, "撮影装置名を読む前にファイルが終わっています");
    data.xrayUnitName = *unit;
    TAMSO_READ_NUMBER(*reader, file, data.targetAngleDeg, "ターゲット角度");
    TAMSO_READ_NUMBER(*reader, file, data.inherentFilterAlMm, "固有ろ過");
    auto hospital = reader->readLine();
    if (!hospital)
        return fileError(file, "医療施設名を読む前にファイルが終わっています");
    data.hospitalName = *hospital;
    return data;
}

Status writeBasicDataFile(const fs::path& folder, const BasicData& data) {
    return textio::writeTextLines(textio::fileInFolder(folder, kBasicDataFileName),
                                  {textio::numberWriteForm(data.wAirEv), data.xrayUnitName,
                                   textio::numberWriteForm(data.targetAngleDeg),
                                   textio::numberWriteForm(data.inherentFilterAlMm), data.hospitalName});
}

void applyBasicData(CalculationState& state, const BasicData& data) {
    state.wAirEv = data.wAirEv;
    state.xrayUnitName = data.xrayUnitName;
    state.targetAngleDeg = data.targetAngleDeg;
    state.defaultInherentFilterAlMm = data.inherentFilterAlMm;
    state.hospitalName = data.hospitalName;
}

Expected<TubeOutputData> readTubeOutputFile(const fs::path& file) {
    auto reader = openReader(file);
    if (!reader)
        return reader.error();
    TubeOutputData data;
    auto comment = reader->readLine();
    if (!comment)
        return fileError(file, "コメント行を読む前にファイルが終わっています");
    data.comment = *comment;
    for (int r = 1; r <= kTubeOutputRows; ++r)
        TAMSO_READ_NUMBER(*reader, file, data.voltageKv[r], std::to_string(r) + " 番目の管電圧");
    for (int r = 1; r <= kTubeOutputRows; ++r)
        TAMSO_READ_NUMBER(*reader, file, data.exposureCkgPerMas[r], std::to_string(r) + " 番目の照射線量");
    TAMSO_READ_NUMBER(*reader, file, data.refFilterAlMm, "測定時のアルミろ過");
    TAMSO_READ_NUMBER(*reader, file, data.refFilterCuMm, "測定時の銅ろ過");
    return data;
}

Status writeTubeOutputFile(const fs::path& file, const TubeOutputData& data) {
    std::string voltages;
    std::string exposures;
    for (int r = 1; r <= kTubeOutputRows; ++r) {
        voltages += textio::formatNumber(data.voltageKv[r], "###.# ");
        exposures += textio::formatNumber(data.exposureCkgPerMas[r], "0.00E+00 ");
    }
    exposures += textio::formatNumber(data.refFilterAlMm, "#0.00 ");
    exposures += textio::formatNumber(data.refFilterCuMm, "#0.00");
    return textio::writeTextLines(file, {data.comment, voltages, exposures});
}

void applyTubeOutputData(CalculationState& state, const TubeOutputData& data) {
    state.outputDataComment = data.comment;
    for (int r = 1; r <= kTubeOutputRows; ++r) {
        state.TubeOutputTable[1][r] = data.voltageKv[r];
        state.TubeOutputTable[2][r] = data.exposureCkgPerMas[r];
    }
    state.refFilterAlCm = data.refFilterAlMm * 0.1;
    state.refFilterCuCm = data.refFilterCuMm * 0.1;
}

Expected<AmbientDoseData> readAmbientDoseFile(const fs::path& file) {
    auto reader = openReader(file);
    if (!reader)
        return reader.error();
    AmbientDoseData data;
    for (int i = 1; i <= kAmbientRows; ++i) {
        int field = 1;
        TAMSO_READ_NUMBER(*reader, file, data.cells[0][0][i], recordField(i, field));
        for (int a = 1; a <= 2; ++a)
            for (int b = 1; b <= 3; ++b)
                TAMSO_READ_NUMBER(*reader, file, data.cells[a][b][i], recordField(i, ++field));
    }
    return data;
}

Status writeAmbientDoseFile(const fs::path& file, const AmbientDoseData& data) {
    std::vector<std::string> lines;
    for (int i = 1; i <= kAmbientRows; ++i) {
        std::string line = textio::formatNumber(data.cells[0][0][i], " 000.0");
        for (int a = 1; a <= 2; ++a)
            for (int b = 1; b <= 3; ++b)
                line += textio::formatNumber(data.cells[a][b][i], " 0.00");
        lines.push_back(line);
    }
    return textio::writeTextLines(file, lines);
}

Status readBackscatterFile(const fs::path& file, CalculationState& state) {
    auto reader = openReader(file);
    if (!reader)
        return reader.error();
    double discarded = 0;
    for (int j = 1; j <= kBsfRingCount; ++j) {
        TAMSO_READ_NUMBER(*reader, file, discarded, recordField(j, 1));
        for (int k = 1; k <= kBsfEnergyCount; ++k)
            TAMSO_READ_NUMBER(*reader, file, state.MonoBsfTable[k][j], recordField(j, k + 1));
    }
    (void)discarded;
    return std::nullopt;
}

Status readAttenuationFile(const fs::path& file, CalculationState& state) {
    auto reader = openReader(file);
    if (!reader)
        return reader.error();
    double discarded = 0;
    for (int i = 1; i <= kTopBin; ++i) {
        TAMSO_READ_NUMBER(*reader, file, discarded, recordField(i, 1));
        TAMSO_READ_NUMBER(*reader, file, state.TungstenMuTable[i], recordField(i, 2));
        TAMSO_READ_NUMBER(*reader, file, state.AluminiumMuTable[i], recordField(i, 3));
        TAMSO_READ_NUMBER(*reader, file, state.CopperMuTable[i], recordField(i, 4));
        TAMSO_READ_NUMBER(*reader, file, state.AirMuEnTable[i], recordField(i, 5));
        TAMSO_READ_NUMBER(*reader, file, state.TissueMuEnTable[i], recordField(i, 6));
        TAMSO_READ_NUMBER(*reader, file, state.PmmaMuTable[i], recordField(i, 7));
    }
    (void)discarded;
    return std::nullopt;
}

Status readScatterRatioFile(const fs::path& file, CalculationState& state) {
    auto reader = openReader(file);
    if (!reader)
        return reader.error();
    for (int r = 1; r <= kSprDistanceRows; ++r) {
        TAMSO_READ_NUMBER(*reader, file, state.SprDistanceTable[r], recordField(r, 1));
        for (int c = 1; c <= kSprAreaColumns; ++c)
            TAMSO_READ_NUMBER(*reader, file, state.ScatterPrimaryRatioTable[c][r], recordField(r, c + 1));
    }
    for (int c = 1; c <= kSprAreaColumns; ++c)
        TAMSO_READ_NUMBER(*reader, file, state.SprFieldAreaTable[c], std::to_string(c) + " 番目の照射野面積");
    return std::nullopt;
}

void fillBsfEnergyTable(CalculationState& state) {
    for (int k = 2; k <= kBsfEnergyCount; ++k)
        state.BsfEnergyTable[k] = 5.0 * (k - 1);
    state.BsfEnergyTable[1] = 1;
}

} // namespace tamso::refdata
