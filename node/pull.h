#pragma once
// Back-filling from a PACS: the radiographs (DX and CR) of a period, and of one patient where
// asked, found by C-FIND (study level, then image level) and fetched by C-GET. Only their headers
// are kept: the images arrive whole (C-GET has no way to ask for less), and each is written
// without its pixel data.

#include "node/storesender.h"
#include "textio/expected.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace tamso::node {

namespace fs = std::filesystem;

struct PullQuery {
    Destination pacs;
    std::string callingAeTitle; // our AE title, as the PACS knows us
    std::string fromDate;       // YYYYMMDD, the first study date; empty: no lower bound
    std::string toDate;         // YYYYMMDD, the last study date; empty: no upper bound
    std::string patientId;      // empty: every patient
    std::chrono::seconds connectTimeout{10};
    std::chrono::seconds messageTimeout{60};
};

// The study date range of the query in DICOM form ("20260101-20260131", "20260101-", "-20260131",
// empty for none); fails when a date is not YYYYMMDD or the range runs backwards.
Expected<std::string> studyDateRange(const PullQuery& query);

struct FoundImage {
    std::string patientId;
    std::string studyInstanceUid;
    std::string studyDate;
    std::string seriesInstanceUid;
    std::string sopInstanceUid;
    std::string sopClassUid;
};

// Studies of the period (and patient) with DX or CR images, then their images; images whose SOP
// class or modality says they are no radiograph (CR, DX for presentation or for processing) are
// left out. In the order the PACS answers, each image once.
Expected<std::vector<FoundImage>> findImages(const PullQuery& query);

struct RetrievedImage {
    FoundImage image;
    fs::path headerFile; // the header written, empty when it could not be fetched
    std::string problem; // why not (Japanese), empty when fetched
};

// Fetches the images by C-GET, one request each, in one association, and writes each header
// (everything but the pixel data) atomically to "<folder>/<SOP Instance UID>.dcm". One result per
// image, in their order; fails as a whole only when no association comes about.
Expected<std::vector<RetrievedImage>>
retrieveHeaders(const PullQuery& query, const std::vector<FoundImage>& images, const fs::path& folder);

} // namespace tamso::node
