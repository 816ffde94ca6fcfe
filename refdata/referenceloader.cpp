#include "refdata/referenceloader.h"

#include "refdata/referencefiles.h"
#include "textio/fileio.h"

#include <memory>

namespace tamso::refdata {

Status loadReferenceData(engine::CalculationState& state, const std::filesystem::path& folder) {
    // Everything is read into a copy first, so a failure leaves no half-loaded tables behind.
    auto loaded = std::make_unique<engine::CalculationState>(state);
    engine::CalculationState& s = *loaded;

    fillBsfEnergyTable(s);

    auto basic = readBasicDataFile(folder);
    if (!basic.ok())
        return basic.error();
    applyBasicData(s, *basic);

    if (auto error = readBackscatterFile(textio::fileInFolder(folder, kBackscatterFileName), s); !error.ok())
        return error;
    if (auto error = readAttenuationFile(textio::fileInFolder(folder, kAttenuationFileName), s); !error.ok())
        return error;

    s.outputDataFileName = kTubeOutputFileName;
    auto output = readTubeOutputFile(textio::fileInFolder(folder, s.outputDataFileName));
    if (!output.ok())
        return output.error();
    applyTubeOutputData(s, *output);

    if (auto error = readScatterRatioFile(textio::fileInFolder(folder, kScatterRatioFileName), s); !error.ok())
        return error;

    auto ambient = readAmbientDoseFile(textio::fileInFolder(folder, kAmbientDoseFileName));
    if (!ambient.ok())
        return ambient.error();
    for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 4; ++k)
            for (int i = 0; i <= engine::kAmbientRows; ++i)
                s.AmbientDoseTable[j][k][i] = ambient->cells[j][k][i];

    state = s;
    return {};
}

} // namespace tamso::refdata
