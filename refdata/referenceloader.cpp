#include "refdata/referenceloader.h"

#include "refdata/referencefiles.h"
#include "textio/fileio.h"

#include <memory>

namespace tamso::refdata {

Status loadReferenceData(CalculationState& state, const std::filesystem::path& folder) {
    // Everything is read into a copy first, so a failure leaves no half-loaded tables behind.
    auto loaded = std::make_unique<CalculationState>(state);
    CalculationState& s = *loaded;

    fillBsfEnergyTable(s);

    auto basic = readBasicDataFile(folder);
    if (!basic)
        return basic.error();
    applyBasicData(s, *basic);

    if (auto error = readBackscatterFile(textio::fileInFolder(folder, kBackscatterFileName), s))
        return error;
    if (auto error = readAttenuationFile(textio::fileInFolder(folder, kAttenuationFileName), s))
        return error;

    s.outputDataFileName = kTubeOutputFileName;
    auto output = readTubeOutputFile(textio::fileInFolder(folder, s.outputDataFileName));
    if (!output)
        return output.error();
    applyTubeOutputData(s, *output);

    if (auto error = readScatterRatioFile(textio::fileInFolder(folder, kScatterRatioFileName), s))
        return error;

    auto ambient = readAmbientDoseFile(textio::fileInFolder(folder, kAmbientDoseFileName));
    if (!ambient)
        return ambient.error();
    for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 4; ++k)
            for (int i = 0; i <= kAmbientRows; ++i)
                s.AmbientDoseTable[j][k][i] = ambient->cells[j][k][i];

    state = s;
    return std::nullopt;
}

} // namespace tamso::refdata
