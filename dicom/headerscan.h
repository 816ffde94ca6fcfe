#pragma once
// Inside the dicom folder only: a look at the structure of a file's header before DCMTK parses
// it. DCMTK's parser follows every nested sequence by recursion (a file of some thousand nested
// sequences overflows the stack) and allocates the declared length of every file meta element
// (a file of a few hundred bytes declaring 4 GB takes a minute and gigabytes of memory). This walk
// reads only the tags, value representations and lengths, skips the values, and refuses a file
// whose structure goes beyond what any radiograph header or DICOMDIR needs, before DCMTK sees it.

#include <cstdint>
#include <filesystem>
#include <string>

namespace tamso::dicom::detail {

// Sequences nested deeper than this are refused (a radiograph header nests three or four; the
// deepest structured reports of the standard's templates stay below twenty).
constexpr int kMaxSequenceDepth = 32;
// Elements and items of the header (up to the pixel data) together; a radiograph header has a few
// hundred, a DICOMDIR about twenty per record (this admits some 50,000 records).
constexpr std::uint64_t kMaxHeaderElements = 1000000;
// Length of one file meta element's value (UIDs, names of 64 characters at most).
constexpr std::uint32_t kMaxFileMetaValueLength = 65536;

struct HeaderCheck {
    enum class Verdict {
        Readable, // DCMTK may read the file
        NotDicom, // no preamble with "DICM", no file meta group and no dataset at the start
        Refused,  // a DICOM file whose structure is broken or beyond the limits above
    };
    Verdict verdict = Verdict::NotDicom;
    std::string reason;    // for Refused: what was found, where (Japanese)
    bool fileMeta = false; // the file has file meta information (after "DICM" or at its start)
};

// Walks the file's header up to the pixel data of the dataset (or its end), checking every
// declared length against the bytes left in the file and in its enclosing item, the nesting of
// sequences and the number of elements. Reads only element headers, never a value but the
// transfer syntax.
HeaderCheck checkHeaderStructure(const std::filesystem::path& file);

} // namespace tamso::dicom::detail
