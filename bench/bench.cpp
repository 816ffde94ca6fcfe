// Timings of the whole calculation, the start-up loading and the command-line batch, on the small
// synthetic installation the tests use (written into a temporary folder).

#include "engine/calculation.h"
#include "refdata/referenceloader.h"
#include "testsupport.h"
#include "tools/calc/calccli.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>
#include <string>

using namespace tamso;

namespace {

test::TempFolder& workFolder() {
    static test::TempFolder folder;
    static bool written = false;
    if (!written) {
        test::writeMinimalReferenceFiles(folder.path());
        written = true;
    }
    return folder;
}

std::unique_ptr<engine::CalculationState> loadedState() {
    auto state = std::make_unique<engine::CalculationState>();
    if (auto e = refdata::loadReferenceData(*state, workFolder().path()); !e.ok())
        throw std::runtime_error(e.message());
    state->exposureSource = 2;
    return state;
}

// The three routines, the spectrum listing and the caregiver estimate, as one press of the
// calculation command followed by the caregiver command.
void BM_WholeCalculation(benchmark::State& bench) {
    auto state = loadedState();
    engine::ConditionTexts conditions;
    conditions.tubeVoltageKv = std::to_string(bench.range(0));
    for (auto _ : bench) {
        engine::ResultTexts results;
        if (auto e = engine::runCalculation(*state, conditions, results, workFolder().path()); !e.ok())
            bench.SkipWithError(e.message().c_str());
        if (auto e = engine::computeCaregiverDose(*state, results); !e.ok())
            bench.SkipWithError(e.message().c_str());
        benchmark::DoNotOptimize(state->entranceSurfaceDoseMGy);
    }
}
BENCHMARK(BM_WholeCalculation)->Arg(50)->Arg(80)->Unit(benchmark::kMicrosecond);

// Start-up: the six reference files into a fresh state.
void BM_LoadReferenceData(benchmark::State& bench) {
    workFolder();
    for (auto _ : bench) {
        auto state = std::make_unique<engine::CalculationState>();
        if (auto e = refdata::loadReferenceData(*state, workFolder().path()); !e.ok())
            bench.SkipWithError(e.message().c_str());
        benchmark::DoNotOptimize(state->MonoBsfTable[1][1]);
    }
}
BENCHMARK(BM_LoadReferenceData)->Unit(benchmark::kMillisecond);

// The --csv batch: 200 exposures from 40 to 79.8 kV per iteration; items/s = exposures per second.
void BM_CsvBatch(benchmark::State& bench) {
    auto state = loadedState();
    std::string csv = "kv,mas,field\n";
    const int rows = 200;
    for (int r = 0; r < rows; ++r)
        csv += std::to_string(40 + 0.2 * r) + ",5,25.4x20.3\n";
    const calc::Exposure defaults = calc::defaultExposure(*state);
    for (auto _ : bench) {
        std::ostringstream out;
        auto failed = calc::runBatch(*state, csv, defaults, workFolder().path(), out);
        if (!failed.ok() || *failed != 0)
            bench.SkipWithError("a batch row failed");
        benchmark::DoNotOptimize(out.str().size());
    }
    bench.SetItemsProcessed(bench.iterations() * rows);
}
BENCHMARK(BM_CsvBatch)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
