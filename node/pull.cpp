#include "node/pull.h"

#include "dicom/dcmtksetup.h"
#include "node/dicomfilebytes.h"
#include "textio/fileio.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/dcmnet/scu.h>

#include <algorithm>
#include <memory>
#include <set>

namespace tamso::node {

namespace {

const char* const kRadiographClasses[] = {
    UID_ComputedRadiographyImageStorage,
    UID_DigitalXRayImageStorageForPresentation,
    UID_DigitalXRayImageStorageForProcessing,
};

bool isRadiographClass(const std::string& uid) {
    return std::any_of(std::begin(kRadiographClasses), std::end(kRadiographClasses),
                       [&uid](const char* c) { return uid == c; });
}

bool validDate(const std::string& date) {
    return date.size() == 8 &&
           std::all_of(date.begin(), date.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string stringOf(DcmItem& item, const DcmTagKey& key) {
    OFString value;
    item.findAndGetOFStringArray(key, value);
    return value.c_str();
}

// A UID as a file name: digits and dots only, so no name can lead out of the folder.
bool safeUid(const std::string& uid) {
    return !uid.empty() && uid.size() <= 64 && uid.front() != '.' &&
           std::all_of(uid.begin(), uid.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

void configure(DcmSCU& scu, const PullQuery& q) {
    scu.setAETitle(q.callingAeTitle.c_str());
    scu.setPeerAETitle(q.pacs.aeTitle.c_str());
    scu.setPeerHostName(q.pacs.host.c_str());
    scu.setPeerPort(q.pacs.port);
    scu.setConnectionTimeout(static_cast<Sint32>(q.connectTimeout.count()));
    scu.setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    scu.setDIMSETimeout(static_cast<Uint32>(q.messageTimeout.count()));
    scu.setACSETimeout(static_cast<Uint32>(q.messageTimeout.count()));
}

OFList<OFString> uncompressed() {
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    return syntaxes;
}

Status connect(DcmSCU& scu, const PullQuery& q) {
    const std::string peer = destinationText(q.pacs);
    if (OFCondition c = scu.initNetwork(); c.bad())
        return Error(ErrorCode::NetworkUnusable, {c.text()});
    if (OFCondition c = scu.negotiateAssociation(); c.bad())
        return Error(ErrorCode::PeerUnreachable, {peer, c.text()});
    return {};
}

Status checkQuery(const PullQuery& q) {
    // DCMTK's own lines ("I: Requesting Association") stay quiet: the caller says what happened.
    if (Status ready = dicom::detail::prepareDcmtk(); !ready.ok())
        return ready;
    if (!validAeTitle(q.callingAeTitle))
        return Error(ErrorCode::CallingAeTitleBad, {q.callingAeTitle});
    if (!validAeTitle(q.pacs.aeTitle) || q.pacs.host.empty() || q.pacs.port == 0)
        return Error(ErrorCode::PacsNotGiven);
    return studyDateRange(q).status();
}

// C-FIND responses with their datasets; the responses are owned here.
struct Responses {
    OFList<QRResponse*> list;
    ~Responses() {
        for (QRResponse* r : list)
            delete r;
    }
};

Expected<std::vector<DcmDataset*>> find(DcmSCU& scu, T_ASC_PresentationContextID context, DcmDataset& keys,
                                        Responses& responses) {
    if (OFCondition c = scu.sendFINDRequest(context, &keys, &responses.list); c.bad())
        return Error(ErrorCode::FindFailed, {c.text()});
    std::vector<DcmDataset*> found;
    for (QRResponse* r : responses.list) {
        if (r->m_status == STATUS_Pending ||
            r->m_status == STATUS_FIND_Pending_WarningUnsupportedOptionalKeys) {
            if (r->m_dataset)
                found.push_back(r->m_dataset);
        } else if (r->m_status != STATUS_Success) {
            return Error(ErrorCode::FindRefused, {std::to_string(r->m_status)});
        }
    }
    return found;
}

// Receives the C-STORE sub-operations of a C-GET: each image whole, written without its pixel data.
class HeaderReceiver : public DcmSCU {
public:
    explicit HeaderReceiver(fs::path folder) : folder_(std::move(folder)) {}

    std::set<std::string> received;
    std::string lastProblem;

protected:
    OFCondition handleSTORERequest(const T_ASC_PresentationContextID /*presID*/, DcmDataset* incoming,
                                   OFBool& continueSession, Uint16& status) override {
        std::unique_ptr<DcmDataset> dataset(incoming);
        continueSession = OFTrue;
        status = STATUS_STORE_Refused_OutOfResources;
        if (!dataset)
            return DIMSE_NULLKEY;
        const std::string uid = stringOf(*dataset, DCM_SOPInstanceUID);
        if (!safeUid(uid)) {
            lastProblem = "画像の SOP Instance UID（" + uid + "）が UID ではありません";
            status = STATUS_STORE_Error_CannotUnderstand;
            return EC_Normal;
        }
        // Everything large that a header does not need.
        for (const DcmTagKey& key : {DCM_PixelData, DCM_FloatPixelData, DCM_DoubleFloatPixelData})
            delete dataset->remove(key);
        DcmFileFormat file(dataset.release(), OFFalse);
        auto bytes = detail::dicomFileBytes(file);
        if (!bytes.ok()) {
            lastProblem = bytes.error().message();
            return EC_Normal;
        }
        if (Status s = textio::writeFileAtomic(folder_ / (uid + ".dcm"), *bytes); !s.ok()) {
            lastProblem = s.message();
            return EC_Normal;
        }
        received.insert(uid);
        status = STATUS_Success;
        return EC_Normal;
    }

private:
    fs::path folder_;
};

} // namespace

Expected<std::string> studyDateRange(const PullQuery& q) {
    for (const std::string* date : {&q.fromDate, &q.toDate})
        if (!date->empty() && !validDate(*date))
            return Error(ErrorCode::PullDateBad, {*date});
    if (!q.fromDate.empty() && !q.toDate.empty() && q.fromDate > q.toDate)
        return Error(ErrorCode::PullDatesReversed, {q.fromDate, q.toDate});
    if (q.fromDate.empty() && q.toDate.empty())
        return std::string();
    return q.fromDate + "-" + q.toDate;
}

Expected<std::vector<FoundImage>> findImages(const PullQuery& q) {
    if (Status s = checkQuery(q); !s.ok())
        return s.error();
    DcmSCU scu;
    configure(scu, q);
    scu.addPresentationContext(UID_FINDStudyRootQueryRetrieveInformationModel, uncompressed());
    if (Status s = connect(scu, q); !s.ok())
        return s.error();
    const T_ASC_PresentationContextID context =
        scu.findAnyPresentationContextID(UID_FINDStudyRootQueryRetrieveInformationModel, "");
    if (context == 0) {
        scu.releaseAssociation();
        return Error(ErrorCode::FindNotAccepted, {destinationText(q.pacs)});
    }

    DcmDataset studyKeys;
    studyKeys.putAndInsertString(DCM_QueryRetrieveLevel, "STUDY");
    studyKeys.putAndInsertString(DCM_StudyInstanceUID, "");
    studyKeys.putAndInsertString(DCM_StudyDate, studyDateRange(q)->c_str());
    studyKeys.putAndInsertString(DCM_PatientID, q.patientId.c_str());
    studyKeys.putAndInsertString(DCM_ModalitiesInStudy, "DX\\CR");
    Responses studyResponses;
    auto studies = find(scu, context, studyKeys, studyResponses);
    if (!studies.ok()) {
        scu.releaseAssociation();
        return studies.error();
    }

    std::vector<FoundImage> images;
    std::set<std::string> seen;
    for (DcmDataset* study : *studies) {
        const std::string studyUid = stringOf(*study, DCM_StudyInstanceUID);
        if (studyUid.empty())
            continue;
        DcmDataset imageKeys;
        imageKeys.putAndInsertString(DCM_QueryRetrieveLevel, "IMAGE");
        imageKeys.putAndInsertString(DCM_StudyInstanceUID, studyUid.c_str());
        imageKeys.putAndInsertString(DCM_SeriesInstanceUID, "");
        imageKeys.putAndInsertString(DCM_SOPInstanceUID, "");
        imageKeys.putAndInsertString(DCM_SOPClassUID, "");
        imageKeys.putAndInsertString(DCM_Modality, "");
        Responses imageResponses;
        auto found = find(scu, context, imageKeys, imageResponses);
        if (!found.ok()) {
            scu.releaseAssociation();
            return found.error();
        }
        for (DcmDataset* image : *found) {
            FoundImage f;
            f.patientId = stringOf(*study, DCM_PatientID);
            f.studyInstanceUid = studyUid;
            f.studyDate = stringOf(*study, DCM_StudyDate);
            f.seriesInstanceUid = stringOf(*image, DCM_SeriesInstanceUID);
            f.sopInstanceUid = stringOf(*image, DCM_SOPInstanceUID);
            f.sopClassUid = stringOf(*image, DCM_SOPClassUID);
            const std::string modality = stringOf(*image, DCM_Modality);
            const bool radiograph = f.sopClassUid.empty()
                                        ? (modality.empty() || modality == "DX" || modality == "CR")
                                        : isRadiographClass(f.sopClassUid);
            if (f.sopInstanceUid.empty() || !radiograph || !seen.insert(f.sopInstanceUid).second)
                continue;
            images.push_back(f);
        }
    }
    scu.releaseAssociation();
    return images;
}

Expected<std::vector<RetrievedImage>>
retrieveHeaders(const PullQuery& q, const std::vector<FoundImage>& images, const fs::path& folder) {
    if (Status s = checkQuery(q); !s.ok())
        return s.error();
    std::vector<RetrievedImage> results;
    if (images.empty())
        return results;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        return Error(ErrorCode::PullFolderCannotMake,
                     {textio::fileNameUtf8(folder), textio::fileErrorReason(ec.value())});

    HeaderReceiver scu(folder);
    configure(scu, q);
    scu.setStorageMode(DCMSCU_STORAGE_DISK);
    scu.addPresentationContext(UID_GETStudyRootQueryRetrieveInformationModel, uncompressed());
    // The images as the PACS keeps them, uncompressed or compressed (the pixel data are dropped):
    // one context per compressed transfer syntax, so that the PACS can send each image as it is
    // instead of converting it.
    for (const char* sopClass : kRadiographClasses) {
        scu.addPresentationContext(sopClass, uncompressed(), ASC_SC_ROLE_SCP);
        for (const char* ts :
             {UID_JPEGProcess14SV1TransferSyntax, UID_JPEGProcess1TransferSyntax,
              UID_JPEGProcess2_4TransferSyntax, UID_JPEGLSLosslessTransferSyntax,
              UID_JPEG2000LosslessOnlyTransferSyntax, UID_JPEG2000TransferSyntax,
              UID_RLELosslessTransferSyntax, UID_DeflatedExplicitVRLittleEndianTransferSyntax}) {
            OFList<OFString> one;
            one.push_back(ts);
            scu.addPresentationContext(sopClass, one, ASC_SC_ROLE_SCP);
        }
    }
    if (Status s = connect(scu, q); !s.ok())
        return s.error();
    const T_ASC_PresentationContextID context =
        scu.findAnyPresentationContextID(UID_GETStudyRootQueryRetrieveInformationModel, "");
    if (context == 0) {
        scu.releaseAssociation();
        return Error(ErrorCode::GetNotAccepted, {destinationText(q.pacs)});
    }

    for (const FoundImage& image : images) {
        RetrievedImage result{image, {}, {}};
        if (!safeUid(image.sopInstanceUid)) {
            result.problem = "画像の SOP Instance UID（" + image.sopInstanceUid + "）が UID ではありません";
            results.push_back(result);
            continue;
        }
        if (!scu.isConnected()) {
            result.problem = "PACS との接続が途中で切れました";
            results.push_back(result);
            continue;
        }
        DcmDataset keys;
        keys.putAndInsertString(DCM_QueryRetrieveLevel, "IMAGE");
        keys.putAndInsertString(DCM_StudyInstanceUID, image.studyInstanceUid.c_str());
        keys.putAndInsertString(DCM_SeriesInstanceUID, image.seriesInstanceUid.c_str());
        keys.putAndInsertString(DCM_SOPInstanceUID, image.sopInstanceUid.c_str());
        scu.lastProblem.clear();
        OFList<RetrieveResponse*> responses;
        const OFCondition c = scu.sendCGETRequest(context, &keys, &responses);
        Uint16 finalStatus = STATUS_Success;
        for (RetrieveResponse* r : responses) {
            finalStatus = r->m_status;
            delete r;
        }
        if (scu.received.count(image.sopInstanceUid)) {
            result.headerFile = folder / (image.sopInstanceUid + ".dcm");
        } else if (c.bad()) {
            result.problem = "画像の取得（C-GET）に失敗しました: " + std::string(c.text());
        } else if (!scu.lastProblem.empty()) {
            result.problem = scu.lastProblem;
        } else {
            result.problem = "PACS から画像が届きませんでした（状態 " + std::to_string(finalStatus) + "）";
        }
        results.push_back(result);
    }
    if (scu.isConnected())
        scu.releaseAssociation();
    return results;
}

} // namespace tamso::node
