#pragma once
// Real DICOM files for the tests, written with DCMTK's dataset API: a radiograph whose attributes a
// test sets (raw bytes, so any character set can be written as the modality would) or removes, and
// DICOMDIRs written with DCMTK's DICOMDIR interface.

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tamso::test {

namespace fs = std::filesystem;

class DicomImage {
public:
    // A DX image (digital X-ray for presentation) of a new-born's chest with 60 kV, 1600 µAs,
    // SID 1000 mm, acquired 2024-05-01 (study date 2024-04-30), patient "N-0001" "Yamada^Hanako",
    // body part CHEST, view AP, 8 x 8 pixels; no character set named.
    DicomImage();
    ~DicomImage();
    DicomImage(const DicomImage& other);
    DicomImage& operator=(const DicomImage& other);

    // The value exactly as these bytes (a string attribute).
    DicomImage& set(const DcmTagKey& key, const std::string& bytes);
    // A binary double (FD), or several.
    DicomImage& setDouble(const DcmTagKey& key, double value);
    DicomImage& setDoubles(const DcmTagKey& key, const double* values, unsigned long count);
    DicomImage& remove(const DcmTagKey& key);
    // A CT image instead: modality CT and the CT SOP class.
    DicomImage& makeCt();
    // Pixel data of rows x columns 16-bit pixels (the value of every pixel is its index).
    DicomImage& pixels(unsigned rows, unsigned columns);

    // Writes the file: explicit VR little endian with the file meta header, or (implicitVrWithout-
    // Header) implicit VR little endian without preamble and meta header, as older systems wrote.
    void save(const fs::path& file, bool implicitVrWithoutHeader = false) const;

private:
    std::unique_ptr<DcmFileFormat> file_;
};

// Writes a General Purpose DICOMDIR into the folder for the images at these paths relative to it
// (each a valid file ID: capital letters, digits, "_", at most 8 characters per component).
void writeDicomDir(const fs::path& folder, const std::vector<std::string>& relativeImagePaths);

// A DICOMDIR whose IMAGE records hold these Referenced File IDs exactly as given ("IMG\\IM1",
// "..\\..\\etc\\passwd"), whatever they name: no file is looked at.
void writeDicomDirWithFileIds(const fs::path& dicomDir, const std::vector<std::string>& fileIds);

// Bytes of files no DICOM writer makes, explicit VR little endian, for the hostile-file tests.
namespace raw {
// One element: tag, VR, the length field as the VR has it (2 or 4 bytes) holding `length` (the
// value's own length where not given), then the value.
std::string element(std::uint16_t group, std::uint16_t element, const char* vr, const std::string& value,
                    std::optional<std::uint32_t> length = std::nullopt);
// Preamble, "DICM" and a file meta group (group length, version, SOP class DX, instance UID,
// transfer syntax) with `extra` meta elements after them.
std::string fileMeta(const std::string& transferSyntax = "1.2.840.10008.1.2.1",
                     const std::string& extra = "");
// The start of a DX dataset (SOP class, modality, KVP) in explicit VR little endian.
std::string radiographStart();
// `depth` sequences nested in one another, each with one item, of undefined length (delimited) or
// of defined length.
std::string nestedSequences(int depth, bool definedLength);
} // namespace raw

} // namespace tamso::test
