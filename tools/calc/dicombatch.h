#pragma once
// tamso-calc --dicom PATH: the entrance surface dose of every radiograph in a DICOM file, a
// DICOMDIR or a folder (recursive), with the exposure read from each image's header and the
// working folder's reference data; one line per file, optionally a CSV file.

#include "dicom/bodypartmap.h"
#include "node/imageconditions.h"
#include "refdata/organdosefile.h"
#include "tools/calc/calccli.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tamso::calc {

// The conditions the images do not carry: every option of the command line applies to every image.
// --thickness, --field and --ffd serve only images without a value of their own; before the
// infant's records and the site's thickness defaults.
struct DicomBatchOptions {
    Exposure conditions;         // the default exposure with the options applied
    bool thicknessGiven = false; // --thickness
    bool fieldGiven = false;     // --field
    bool ffdGiven = false;       // --ffd
};

// One file of the batch, each value as printed.
struct DicomBatchRow {
    std::string file;   // relative to the folder or DICOMDIR given, else as given
    std::string status; // "ok" (computed), "skipped" (no radiograph), "failed" (a radiograph not computed)
    std::string patientId;
    std::string date; // YYYY-MM-DD
    std::string kv;
    std::string mAs;
    std::string ffdCm;
    std::string bodyPart;
    std::string thicknessCm;
    std::string thicknessSource; // where the thickness came from (the image, a record, the site's default, --thickness)
    std::string fieldCm;         // LONGxSHORT
    std::string fieldSource;     // "collimator", "option" or "default" (then "missing" says why)
    std::string doseMGy;         // as the screen shows it
    std::string missing;         // "name: why; ..." for each value the image lacks
    std::string reason;          // why the file was skipped or failed
    std::string weightKg;        // PatientWeight (0010,1030), else the site's default weight
    std::string weightSource;    // the attribute, or 体重既定値.txt (the weight then assumed)
    std::string effectiveDoseUSv;  // ICRP 103, μSv; empty where the body part names no region
    std::string effectiveDoseUUSv; // its expanded uncertainty (k = 2)
};

// The column names of the text lines and of the CSV file, in order.
const std::vector<std::string>& dicomBatchColumns();

// One entry of the batch: a file to read, or an entry left out with its status and reason.
struct DicomBatchEntry {
    std::filesystem::path path; // the file as found (a link's own path, not its target's)
    std::string label;          // relative to the folder or DICOMDIR given, else as given
    std::string status;         // empty: read the file; else "skipped" or "failed", as in the rows
    std::string reason;         // why it is left out
    std::optional<dicom::HeaderReading> reading; // the header, where already read
};

// The entries of the batch: the file itself (its header read once, here); the image records a
// DICOMDIR lists, those it may not open failed with the reason; every entry under a folder, sorted
// by path, the regular files (also through links, labelled by the link) to be read and the others
// listed: FIFOs, devices, sockets and links to folders skipped, links without target and folders
// that cannot be listed failed. Fails when the path does not exist.
Expected<std::vector<DicomBatchEntry>> dicomBatchFiles(const std::filesystem::path& path);

// One file: read its header (unless the entry holds it) and, for a radiograph, compute its dose on
// the state with the conditions resolved as every way in resolves an image (node/imageconditions.h).
DicomBatchRow computeDicomFile(engine::CalculationState& state, const DicomBatchEntry& entry,
                               const DicomBatchOptions& options, const node::FolderSources& folder,
                               const Expected<refdata::OrganDoseData>* organs = nullptr);

// The whole batch: a header line and one tab-separated line per file on `out`; returns the rows.
Expected<std::vector<DicomBatchRow>>
runDicomBatch(engine::CalculationState& state, const std::filesystem::path& path,
              const DicomBatchOptions& options, const std::filesystem::path& workFolder, std::ostream& out);

// The rows as a CSV file: UTF-8 with byte-order mark, CR LF, a header row, replaced atomically.
Status writeDicomBatchCsv(const std::filesystem::path& csvFile, const std::vector<DicomBatchRow>& rows);

// The --dicom mode of the program on a loaded state: the condition options as given on the command
// line (--kv, --mas and --measured-ckg are refused: each image gives its own exposure). Returns the
// exit status: kExitOk when no radiograph failed.
int runDicomCalculator(engine::CalculationState& state, const std::string& dicomPath,
                       const std::string& csvOut,
                       const std::vector<std::pair<std::string, std::string>>& conditionOptions,
                       const std::filesystem::path& workFolder, std::ostream& out, std::ostream& err);

} // namespace tamso::calc
