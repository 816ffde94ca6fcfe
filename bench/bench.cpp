// Timings of the whole calculation, the start-up loading, the command-line batch, the facility
// audit and the DICOM batch, on the small synthetic installation the tests use (written into a
// temporary folder), and of an infant's dose history of 100 records.

#include "engine/calculation.h"
#include "engine/organdose.h"
#include "dicom/imageexposure.h"
#include "dicomtestfiles.h"
#include "records/doseaudit.h"
#include "records/dosehistory.h"
#include "refdata/organdosefile.h"
#include "refdata/referenceloader.h"
#include "testsupport.h"
#include "textio/fileio.h"
#include "tools/calc/dicombatch.h"
#include "tools/calc/calccli.h"

#include <benchmark/benchmark.h>

#ifdef TAMSO_BENCH_UI
#include "ui/kit/sitedata.h"
#include "ui/kit/uiutil.h"
#include "ui/records/dosehistorywindow.h"

#include <QApplication>
#include <QPixmap>
#endif

#include <cstdio>
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
        if (auto e =
                engine::runCalculation(*state, conditions, results, engine::listingInto(workFolder().path()));
            !e.ok())
            bench.SkipWithError(e.message().c_str());
        if (auto e = engine::computeCaregiverDose(*state, results); !e.ok())
            bench.SkipWithError(e.message().c_str());
        benchmark::DoNotOptimize(state->entranceSurfaceDoseMGy);
    }
}
BENCHMARK(BM_WholeCalculation)->Arg(50)->Arg(80)->Unit(benchmark::kMicrosecond);

// Organ doses and effective dose of one exposure (after its calculation run), on the shipped
// organ-dose table of data/: tiles of the field, the spectrum folded, the weight interpolated, the
// budget with its field shifts. Arg: 0 chest AP 12 x 10 cm, 1 chest and abdomen AP 25.4 x 20.3 cm.
void BM_OrganDoses(benchmark::State& bench) {
    const std::filesystem::path data = std::filesystem::path(TAMSO_SOURCE_DIR) / "data";
    auto state = std::make_unique<engine::CalculationState>();
    if (auto e = refdata::loadReferenceData(*state, data); !e.ok())
        throw std::runtime_error(e.message());
    auto organs = refdata::loadOrganDoseData(data);
    if (!organs.ok())
        throw std::runtime_error(organs.error().message());
    state->exposureSource = 2;
    engine::ConditionTexts conditions;
    conditions.tubeVoltageKv = "60";
    conditions.fieldLongCm = bench.range(0) ? "25.4" : "12";
    conditions.fieldShortCm = bench.range(0) ? "20.3" : "10";
    engine::ResultTexts results;
    if (auto e = engine::runCalculation(*state, conditions, results); !e.ok())
        throw std::runtime_error(e.message());
    const std::string part = bench.range(0) ? "胸腹部正面" : "胸部正面";
    for (auto _ : bench) {
        auto r = engine::organDosesForBodyPart(organs->table, *state, part, 2.0, std::nullopt);
        if (!r.ok())
            bench.SkipWithError(r.error().message().c_str());
        benchmark::DoNotOptimize(r->effectiveDoseUSv);
    }
}
BENCHMARK(BM_OrganDoses)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Start-up: the organ-dose table of data/ (about 4 MB of text).
void BM_LoadOrganDoseTable(benchmark::State& bench) {
    const std::filesystem::path data = std::filesystem::path(TAMSO_SOURCE_DIR) / "data";
    for (auto _ : bench) {
        auto organs = refdata::loadOrganDoseData(data);
        if (!organs.ok())
            bench.SkipWithError(organs.error().message().c_str());
        benchmark::DoNotOptimize(organs->table.values.data());
    }
}
BENCHMARK(BM_LoadOrganDoseTable)->Unit(benchmark::kMillisecond);

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

// The facility audit: 5,000 record files of 20 records each (100,000 records: 4,000 infants, every
// fifth with a continuation file), seven body parts, two years of dates, read and summed up per
// body part for one year. Target: under 2 s on one core.
test::TempFolder& auditFolder() {
    static test::TempFolder folder;
    static bool written = false;
    if (!written) {
        const char* const parts[] = {"腹部正面", "胸部正面", "胸腹部正面", "胸部側面", "腹部側面", "頭部正面", "頭部側面"};
        for (int f = 0; f < 5000; ++f) {
            const int infant = f < 4000 ? f : f - 4000;
            char name[32];
            std::snprintf(name, sizeof name, f < 4000 ? "N%05d.pat" : "N%05d.~2.pat", infant);
            std::vector<std::string> lines = {"新生 太郎", " 20 "};
            for (int r = 0; r < 20; ++r) {
                const int n = f * 20 + r;
                char date[16];
                std::snprintf(date, sizeof date, "%04d/%02d/%02d", 2025 + n % 2, 1 + n % 12, 1 + n % 28);
                char dose[16];
                std::snprintf(dose, sizeof dose, " .%03d ", 20 + n % 300);
                lines.insert(lines.end(), {date, "技師 一郎", parts[n % 7], " 8 ", "ポータブル装置", " 60 ", " 2 ",
                                           " 100 ", "六切サイズ", dose, " 1.5 ", " .3 ", " .1 "});
            }
            if (auto e = textio::writeTextLines(folder.file(name), lines, textio::Durability::Unsynced); !e.ok())
                throw std::runtime_error(e.message());
        }
        written = true;
    }
    return folder;
}

void BM_DoseAudit(benchmark::State& bench) {
    const auto& folder = auditFolder();
    refdata::ReferenceLevelTable levels;
    levels.rows = {{"胸部正面", 0.2, "Japan DRLs 2020"}};
    const records::AuditPeriod period{records::parseExamDate("2026/01/01"), records::parseExamDate("2026/12/31")};
    for (auto _ : bench) {
        auto audit = records::auditRecordFolder(folder.path(), period, levels);
        if (!audit.ok() || audit->records != 100000)
            bench.SkipWithError("the audit did not read every record");
        benchmark::DoNotOptimize(audit->bodyParts);
    }
    bench.SetItemsProcessed(bench.iterations() * 100000);
}
BENCHMARK(BM_DoseAudit)->Unit(benchmark::kMillisecond);

// The same audit with the median effective dose per body part (a run per distinct conditions).
void BM_DoseAuditEffectiveDose(benchmark::State& bench) {
    const auto& folder = auditFolder();
    const std::filesystem::path data = std::filesystem::path(TAMSO_SOURCE_DIR) / "data";
    auto state = std::make_unique<engine::CalculationState>();
    if (auto e = refdata::loadReferenceData(*state, data); !e.ok())
        throw std::runtime_error(e.message());
    auto organs = refdata::loadOrganDoseData(data);
    if (!organs.ok())
        throw std::runtime_error(organs.error().message());
    const records::AuditEffectiveDoseData effective{*state, organs->table, organs->defaultWeightKg};
    refdata::ReferenceLevelTable levels;
    levels.rows = {{"胸部正面", 0.2, "Japan DRLs 2020"}};
    const records::AuditPeriod period{records::parseExamDate("2026/01/01"), records::parseExamDate("2026/12/31")};
    for (auto _ : bench) {
        auto audit = records::auditRecordFolder(folder.path(), period, levels, {}, &effective);
        if (!audit.ok() || audit->records != 100000 || audit->effectiveDoseUnavailable != 0)
            bench.SkipWithError("the audit did not read every record or give every effective dose");
        benchmark::DoNotOptimize(audit->bodyParts);
    }
    bench.SetItemsProcessed(bench.iterations() * 100000);
}
BENCHMARK(BM_DoseAuditEffectiveDose)->Unit(benchmark::kMillisecond);

// A folder of 200 DX images as a portable unit writes them: header of about 1.5 kB, then
// 1024 x 1024 pixels of 16 bits (2 MB), kV and mAs varying from image to image.
constexpr int kDicomImages = 200;

const test::TempFolder& dicomFolder() {
    static test::TempFolder folder;
    static bool written = false;
    if (!written) {
        test::DicomImage image;
        image.pixels(1024, 1024);
        for (int k = 0; k < kDicomImages; ++k) {
            image.set(DCM_KVP, std::to_string(40 + k % 40))
                .set(DCM_ExposureInuAs, std::to_string(1000 + 10 * k));
            image.save(folder.path() / ("IM" + std::to_string(k) + ".dcm"));
        }
        written = true;
    }
    return folder;
}

// Reading the exposure of every image of the folder: headers only, the pixel data never read.
// items/s = images per second.
void BM_DicomHeaders(benchmark::State& bench) {
    const auto files = calc::dicomBatchFiles(dicomFolder().path());
    for (auto _ : bench) {
        int read = 0;
        for (const auto& file : *files)
            read += dicom::readHeader(file.path).kind == dicom::FileKind::Radiograph;
        if (read != kDicomImages)
            bench.SkipWithError("an image was not read");
    }
    bench.SetItemsProcessed(bench.iterations() * kDicomImages);
}
BENCHMARK(BM_DicomHeaders)->Unit(benchmark::kMillisecond);

// tamso-calc --dicom on the folder: headers, body-part mapping, one calculation per image (each
// writing its spectrum listing) and the printed lines. items/s = images per second.
void BM_DicomBatch(benchmark::State& bench) {
    auto state = loadedState();
    calc::DicomBatchOptions options;
    options.conditions = calc::defaultExposure(*state);
    options.thicknessGiven = true; // as --thickness 10: the synthetic folder has no site defaults
    for (auto _ : bench) {
        std::ostringstream out;
        auto rows = calc::runDicomBatch(*state, dicomFolder().path(), options, workFolder().path(), out);
        if (!rows.ok() || rows->size() != static_cast<size_t>(kDicomImages) || rows->front().status != "ok")
            bench.SkipWithError("the batch failed");
        benchmark::DoNotOptimize(out.str().size());
    }
    bench.SetItemsProcessed(bench.iterations() * kDicomImages);
}
BENCHMARK(BM_DicomBatch)->Unit(benchmark::kMillisecond);

// Files made to hurt the reader, each refused by the look at its structure before DCMTK parses it:
// 6,000 nested sequences (they overflowed the parser's stack) and a 244-byte file whose file meta
// element declares 4 GB (it took a minute and gigabytes). items/s = files/s.
void BM_HostileDicomFiles(benchmark::State& bench) {
    static test::TempFolder folder;
    const auto deep = folder.file("deep.dcm");
    const auto huge = folder.file("huge.dcm");
    test::writeBytes(deep, test::raw::fileMeta() + test::raw::radiographStart() +
                               test::raw::nestedSequences(6000, false));
    test::writeBytes(huge, std::string(128, '\0') + "DICM" +
                               test::raw::element(0x0002, 0x0001, "OB", std::string(112, '\0'), 0xFFFFFFF0));
    for (auto _ : bench) {
        if (dicom::readHeader(deep).kind != dicom::FileKind::Unreadable ||
            dicom::readHeader(huge).kind != dicom::FileKind::Unreadable)
            bench.SkipWithError("a hostile file was read");
    }
    bench.SetItemsProcessed(bench.iterations() * 2);
}
BENCHMARK(BM_HostileDicomFiles)->Unit(benchmark::kMicrosecond);

// A DICOMDIR of 10,000 image records whose files are all missing, beside 200 other files: each
// folder is listed once, not once per record (10,000 missing records took 34 s that way).
void BM_DicomDirMissingRecords(benchmark::State& bench) {
    static test::TempFolder folder;
    static bool written = false;
    if (!written) {
        std::filesystem::create_directories(folder.path() / "IMG");
        for (int k = 0; k < 200; ++k)
            test::writeBytes(folder.path() / "IMG" / ("F" + std::to_string(k)), "x");
        std::vector<std::string> ids;
        for (int k = 0; k < 10000; ++k)
            ids.push_back("IMG\\IM" + std::to_string(k));
        test::writeDicomDirWithFileIds(folder.path() / "DICOMDIR", ids);
        written = true;
    }
    for (auto _ : bench) {
        const auto entries = dicom::dicomDirEntries(folder.path() / "DICOMDIR");
        if (!entries.ok() || entries->size() != 10000 || entries->back().problem.empty())
            bench.SkipWithError("the records were not all listed as missing");
    }
    bench.SetItemsProcessed(bench.iterations() * 10000);
}
BENCHMARK(BM_DicomDirMissingRecords)->Unit(benchmark::kMillisecond);

// An infant with 100 records: its first file and four continuation files of 20 records each.
const test::TempFolder& historyFolder() {
    static test::TempFolder folder;
    static bool written = false;
    if (!written) {
        for (int part = 1; part <= 5; ++part) {
            std::string text = "長期 入院\r\n 20 \r\n";
            for (int i = 1; i <= 20; ++i)
                text += "2024/" + std::to_string(part) + "/" + std::to_string(i) +
                        "\r\n技師\r\n胸部\r\n 8 \r\n装置\r\n 60 \r\n 2.5 \r\n 100 \r\n10 x 12\r\n .052 "
                        "\r\n 1.5 \r\n .05 \r\n\r\n";
            test::writeSjis(records::recordFilePath(folder.path(), "B100", part), text);
        }
        written = true;
    }
    return folder;
}

// The dose history of that infant: every file read and summed up (what tamso-calc --history and
// the window read).
void BM_LoadDoseHistory(benchmark::State& bench) {
    historyFolder();
    for (auto _ : bench) {
        auto history = records::loadDoseHistory(historyFolder().path(), "B100");
        if (!history.ok() || history->exposureCount() != 100)
            bench.SkipWithError("the history did not load");
        benchmark::DoNotOptimize(history->totalMGy);
    }
}
BENCHMARK(BM_LoadDoseHistory)->Unit(benchmark::kMillisecond);

#ifdef TAMSO_BENCH_UI
// The application the window needs, offscreen unless a platform is chosen; made on first use and
// kept to the end of the program.
void startApplication() {
    static QApplication* application = nullptr;
    if (application)
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tamso_bench";
    static char* argv[] = {name, nullptr};
    application = new QApplication(argc, argv);
    ui::installFontSubstitutions();
}

// Opening the dose history window on that infant: the files read, the table and the chart built,
// and the window painted once as it first appears.
void BM_OpenDoseHistoryWindow(benchmark::State& bench) {
    startApplication();
    historyFolder();
    const auto state = std::make_unique<engine::CalculationState>(); // no reference data loaded
    ui::SiteData site;
    for (auto _ : bench) {
        ui::DoseHistoryWindow window(*state, site);
        window.resize(1220, 880);
        if (!window.showHistory(historyFolder().path(), QStringLiteral("B100")).ok())
            bench.SkipWithError("the history did not open");
        const QPixmap shown = window.grab();
        benchmark::DoNotOptimize(shown.cacheKey());
    }
}
BENCHMARK(BM_OpenDoseHistoryWindow)->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK_MAIN();
