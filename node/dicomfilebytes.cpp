#include "node/dicomfilebytes.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcostrmb.h>

namespace tamso::node::detail {

Expected<std::string> dicomFileBytes(DcmFileFormat& file) {
    if (OFCondition c = file.validateMetaInfo(EXS_LittleEndianExplicit); c.bad())
        return Error(ErrorCode::DicomMetaNotMade, {c.text()});
    file.getDataset()->chooseRepresentation(EXS_LittleEndianExplicit, nullptr);
    // Written through a small buffer that is emptied whenever it is full.
    std::string bytes;
    char buffer[64 * 1024];
    DcmOutputBufferStream out(buffer, sizeof buffer);
    file.transferInit();
    OFCondition written;
    for (;;) {
        written = file.write(out, EXS_LittleEndianExplicit, EET_ExplicitLength, nullptr);
        void* data = nullptr;
        offile_off_t length = 0;
        out.flushBuffer(data, length);
        bytes.append(static_cast<const char*>(data), static_cast<std::size_t>(length));
        if (written != EC_StreamNotifyClient)
            break;
    }
    file.transferEnd();
    if (written.bad())
        return Error(ErrorCode::DicomFileNotWritten, {written.text()});
    return bytes;
}

} // namespace tamso::node::detail
