#include "dicom/dcmtksetup.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcdict.h>
#include <dcmtk/oflog/oflog.h>

#include <mutex>

namespace tamso::dicom::detail {

Status prepareDcmtk() {
    static std::once_flag quiet;
    std::call_once(quiet, [] { OFLog::configure(OFLogger::OFF_LOG_LEVEL); });
    if (!dcmDataDict.isDictionaryLoaded())
        return Error(ErrorCode::DicomDictionaryMissing);
    return {};
}

OFFilename dcmtkFileName(const std::filesystem::path& file) {
#if defined(_WIN32) && defined(WIDE_CHAR_FILE_IO_FUNCTIONS)
    return OFFilename(file.wstring().c_str());
#else
    return OFFilename(file.string().c_str());
#endif
}

} // namespace tamso::dicom::detail
