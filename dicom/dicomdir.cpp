#include "dicom/dicomdir.h"

#include "dicom/headervalues.h"
#include "dicom/imageexposure.h"
#include "textio/filenames.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcsequen.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

namespace tamso::dicom {

using detail::splitValues;

namespace {

// The folders listed while the records of one DICOMDIR are resolved: each folder once, its names
// by their small-letter form (the first in name order where two differ only in case).
class FolderListings {
public:
    // The entry of the folder named `component` exactly, else without regard to case; nothing
    // where there is none.
    std::optional<fs::path> find(const fs::path& folder, const std::string& component) {
        auto [it, added] = listings_.try_emplace(folder);
        Listing& listing = it->second;
        if (added) {
            std::error_code ec;
            std::vector<fs::path> names;
            for (fs::directory_iterator entry(folder, ec), end; !ec && entry != end; entry.increment(ec))
                names.push_back(entry->path().filename());
            std::sort(names.begin(), names.end());
            for (const fs::path& name : names) {
                const std::string utf8 = textio::fileNameUtf8(name);
                listing.exact.insert(utf8);
                listing.folded.emplace(lowerAscii(utf8), name);
            }
        }
        if (listing.exact.count(component))
            return folder / fs::u8path(component);
        if (auto found = listing.folded.find(lowerAscii(component)); found != listing.folded.end())
            return folder / found->second;
        return std::nullopt;
    }

private:
    struct Listing {
        std::set<std::string> exact;
        std::map<std::string, fs::path> folded; // emplace keeps the first in name order
    };
    static std::string lowerAscii(std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    }
    std::map<fs::path, Listing> listings_;
};

// Whether `path` (canonical) lies inside `root` (canonical).
bool isInside(const fs::path& path, const fs::path& root) {
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p)
        if (p == path.end() || *p != *r)
            return false;
    return true;
}

// One Referenced File ID resolved inside the DICOMDIR's folder, or the reason it is not opened.
DicomDirEntry resolveEntry(const fs::path& folder, const fs::path& canonicalFolder, const std::string& fileId,
                           FolderListings& listings) {
    DicomDirEntry entry;
    const std::vector<std::string> components = splitValues(fileId);
    for (size_t k = 0; k < components.size(); ++k)
        entry.fileId += (k ? "/" : "") + components[k];
    for (const std::string& c : components) {
        if (c == "..") {
            entry.problem = entry.fileId + " は DICOMDIR のフォルダの外（..）を指すため開きません。";
            return entry;
        }
        if (c.empty() || c == "." || c.find_first_of(std::string("/:\\\0", 4)) != std::string::npos) {
            entry.problem =
                entry.fileId + " はファイル ID として使えない名前（'" + c + "'）を含むため開きません。";
            return entry;
        }
    }
    fs::path path = folder;
    for (const std::string& c : components) {
        const auto found = listings.find(path, c);
        if (!found) {
            entry.problem = entry.fileId + " がありません。";
            return entry;
        }
        path = *found;
    }
    std::error_code ec;
    const fs::path target = fs::canonical(path, ec);
    if (ec) {
        entry.problem = entry.fileId + " がありません（リンク先がありません）。";
        return entry;
    }
    if (!isInside(target, canonicalFolder)) {
        entry.problem = entry.fileId + " はリンクで DICOMDIR のフォルダの外を指すため開きません。";
        return entry;
    }
    const fs::file_type type = fs::status(target, ec).type();
    if (ec || type != fs::file_type::regular) {
        entry.problem =
            entry.fileId + " は通常のファイルではない（" + textio::fileTypeText(type) + "）ため開きません。";
        return entry;
    }
    entry.path = path;
    return entry;
}

} // namespace

namespace detail {

std::vector<DicomDirEntry> readDicomDirEntries(DcmDataset& data, const fs::path& dicomDir) {
    std::vector<DicomDirEntry> entries;
    DcmSequenceOfItems* records = nullptr;
    if (data.findAndGetSequence(DCM_DirectoryRecordSequence, records).bad() || !records)
        return entries;
    const fs::path folder = dicomDir.has_parent_path() ? dicomDir.parent_path() : fs::path(".");
    std::error_code ec;
    const fs::path canonicalFolder = fs::canonical(folder, ec);
    FolderListings listings;
    for (unsigned long k = 0; k < records->card(); ++k) {
        DcmItem* record = records->getItem(k);
        if (rawValue(*record, DCM_DirectoryRecordType).value_or(std::string()) != "IMAGE")
            continue;
        std::string tooLong;
        DcmElement* inUse = loadedElement(*record, DCM_RecordInUseFlag, "", &tooLong);
        Uint16 flag = 0xFFFF;
        if (inUse && inUse->getUint16(flag).good() && flag == 0)
            continue;
        const auto fileId = rawValue(*record, DCM_ReferencedFileID, "ReferencedFileID (0004,1500)", &tooLong);
        if (!fileId) {
            if (!tooLong.empty())
                entries.push_back({"", {}, tooLong + "。"});
            continue;
        }
        if (ec) {
            DicomDirEntry entry;
            entry.fileId = *fileId;
            entry.problem =
                textio::fileNameUtf8(folder) + " のフォルダを読めません（" + ec.message() + "）。";
            entries.push_back(entry);
            continue;
        }
        entries.push_back(resolveEntry(folder, canonicalFolder, *fileId, listings));
    }
    return entries;
}

} // namespace detail

Expected<std::vector<DicomDirEntry>> dicomDirEntries(const fs::path& dicomDir) {
    HeaderReading reading = readHeader(dicomDir);
    if (reading.kind == FileKind::DicomDir)
        return std::move(reading.dicomDirEntries);
    if (reading.kind == FileKind::Radiograph || reading.kind == FileKind::NotRadiograph)
        return Error(ErrorCode::DicomNotDicomDir, {detail::fileLabel(dicomDir)});
    return reading.error;
}

Expected<std::vector<fs::path>> dicomDirImages(const fs::path& dicomDir) {
    auto entries = dicomDirEntries(dicomDir);
    if (!entries.ok())
        return entries.error();
    std::vector<fs::path> images;
    for (const DicomDirEntry& entry : *entries)
        if (entry.problem.empty())
            images.push_back(entry.path);
    return images;
}

} // namespace tamso::dicom
