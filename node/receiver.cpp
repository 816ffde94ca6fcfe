#include "node/receiver.h"

#include "node/imageheader.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/assoc.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/dcmnet/scpthrd.h>
#include <dcmtk/dcmtls/tlslayer.h>

#include <algorithm>
#include <cstdio>
#include <list>
#include <thread>

namespace tamso::node {
namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string uidName(const std::string& uid) {
    const char* name = dcmFindNameOfUID(uid.c_str(), nullptr);
    return name ? name : uid;
}

std::string hex4(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFu);
    return text;
}

// The worker of one association, on a thread of its own.
class Worker : public DcmThreadSCP {
public:
    explicit Worker(ReceiverContext& context) : context_(context) {}

protected:
    void notifyAssociationRequest(const T_ASC_Parameters& params, DcmSCPActionType& action) override {
        calling_ = trimmed(params.DULparams.callingAPTitle);
        called_ = trimmed(params.DULparams.calledAPTitle);
        peer_ = params.DULparams.callingPresentationAddress;
        offered_.clear();
        const int count = ASC_countPresentationContexts(const_cast<T_ASC_Parameters*>(&params));
        for (int i = 0; i < count; ++i) {
            T_ASC_PresentationContext pc;
            if (ASC_getPresentationContext(const_cast<T_ASC_Parameters*>(&params), i, &pc).good()) {
                const std::string name = uidName(pc.abstractSyntax);
                if (std::find(offered_.begin(), offered_.end(), name) == offered_.end())
                    offered_.push_back(name);
            }
        }
        action = DCMSCP_ACTION_UNDEFINED;
    }

    OFBool checkCalledAETitleAccepted(const OFString& calledAE) override {
        if (trimmed(calledAE.c_str()) == context_.config.aeTitle)
            return OFTrue;
        refusal_ = "called AE title " + trimmed(calledAE.c_str()) + " is not " + context_.config.aeTitle;
        return OFFalse;
    }

    OFBool checkCallingAETitleAccepted(const OFString& callingAE) override {
        const std::string title = trimmed(callingAE.c_str());
        const auto& allowed = context_.config.allowedCallers;
        if (std::find(allowed.begin(), allowed.end(), title) != allowed.end())
            return OFTrue;
        refusal_ = "calling AE title " + title + " is not allowed";
        return OFFalse;
    }

    void notifyAssociationAcknowledge() override { accepted_ = true; }
    void notifyReleaseRequest() override { ending_ = "released"; }
    void notifyAbortRequest() override { ending_ = "aborted by the sender"; }
    void notifyDIMSEError(const OFCondition& cond) override {
        if (ending_.empty())
            ending_ = tooLarge_           ? "aborted: image larger than the limit"
                      : context_.stopping ? "ended: the node stops"
                                          : "ended: " + std::string(cond.text());
    }

    void notifyAssociationTermination() override {
        std::string line = "association from " + calling_ + " (" + peer_ + ")";
        if (!accepted_) {
            if (refusal_.empty()) {
                std::string offered;
                for (const std::string& name : offered_)
                    offered += (offered.empty() ? "" : ", ") + name;
                refusal_ = "none of the offered SOP classes is received (" + offered + ")";
            }
            line += ": refused: " + refusal_;
        } else {
            line += ": " + std::to_string(stored_) + " image(s) stored";
            if (refused_ > 0)
                line += ", " + std::to_string(refused_) + " refused";
            line += ", " + (ending_.empty() ? std::string("ended") : ending_);
        }
        if (context_.log)
            context_.log(line);
    }

    void notifyRECEIVEProgress(const unsigned long byteCount) override {
        if (!tooLarge_ && byteCount > context_.config.maxObjectBytes) {
            tooLarge_ = true;
            abortAssociation(); // the rest of the image is never read
        }
    }

    OFCondition handleIncomingCommand(T_DIMSE_Message* message,
                                      const DcmPresentationContextInfo& info) override {
        if (message->CommandField == DIMSE_C_STORE_RQ)
            return handleStore(message->msg.CStoreRQ, info);
        return DcmThreadSCP::handleIncomingCommand(message, info);
    }

private:
    OFCondition handleStore(T_DIMSE_C_StoreRQ& request, const DcmPresentationContextInfo& info) {
        if (context_.stopping)
            return NET_EC_StopAfterAssociation; // ends the association; the sender sends it again later
        ImageProcessor& processor = *context_.processor;
        // In memory (up to the size limit): only the header is kept, and written once.
        DcmDataset* received = nullptr;
        const OFCondition cond = receiveSTORERequest(request, info.presentationContextID, received);
        std::unique_ptr<DcmDataset> dataset(received);
        if (cond.bad()) {
            if (tooLarge_)
                refuse(request, "larger than the limit of " +
                                    std::to_string(context_.config.maxObjectBytes >> 20) + " MiB");
            return cond;
        }
        Uint16 status = STATUS_Success;
        std::string problem;
        const std::vector<std::string>& classes = receivedSopClasses();
        if (info.abstractSyntax != request.AffectedSOPClassUID ||
            std::find(classes.begin(), classes.end(), std::string(request.AffectedSOPClassUID)) ==
                classes.end()) {
            status = STATUS_STORE_Refused_SOPClassNotSupported;
            problem = "SOP class " + uidName(request.AffectedSOPClassUID) + " is not received";
        } else {
            std::string uid, sopClass;
            auto header = dataset ? headerOnlyCopy(*dataset, &uid, &sopClass)
                                  : Expected<std::string>(Error{"no data set"});
            dataset.reset();
            if (!header.ok()) {
                status = STATUS_STORE_Error_CannotUnderstand;
                problem = header.error().message;
            } else if (uid != request.AffectedSOPInstanceUID || sopClass != request.AffectedSOPClassUID) {
                status = STATUS_STORE_Error_DataSetDoesNotMatchSOPClass;
                problem = "the data set's SOP class or instance UID differs from the request";
            } else if (auto admitted = processor.admitHeader(*header); !admitted.ok()) {
                status = STATUS_STORE_Refused_OutOfResources;
                problem = admitted.error().message;
            }
        }
        if (status == STATUS_Success) {
            ++stored_;
            if (context_.imageAdmitted)
                context_.imageAdmitted();
        } else {
            refuse(request, problem + " (status " + hex4(status) + ")");
        }
        return sendSTOREResponse(info.presentationContextID, request, status);
    }

    void refuse(const T_DIMSE_C_StoreRQ& request, const std::string& why) {
        ++refused_;
        if (context_.log)
            context_.log("image " + std::string(request.AffectedSOPInstanceUID) + " from " + calling_ +
                         ": refused: " + why);
    }

    ReceiverContext& context_;
    std::string calling_, called_, peer_, refusal_, ending_;
    std::vector<std::string> offered_;
    bool accepted_ = false;
    bool tooLarge_ = false;
    int stored_ = 0;
    int refused_ = 0;
};

} // namespace

// The listener and its workers: one thread accepts connections, each association runs on a thread
// of its own, which the listener joins once it has ended (DCMTK's own pool lets a worker delete
// itself while the listener may still be starting it).
class Receiver::Pool {
public:
    explicit Pool(ReceiverContext& context) : context_(context) {}
    DcmSCPConfig& getConfig() { return config_; }

    Status listen(std::uint16_t port, DcmTransportLayer* tls) {
        T_ASC_Network* network = nullptr;
        OFCondition cond =
            ASC_initializeNetwork(NET_ACCEPTOR, port, static_cast<int>(config_.getACSETimeout()), &network);
        if (cond.good() && tls)
            cond = ASC_setTransportLayer(network, tls, 0);
        if (cond.bad()) {
            if (network)
                ASC_dropNetwork(&network);
            return Error{"port " + std::to_string(port) + ": " + cond.text()};
        }
        const DcmSharedSCPConfig shared(config_);
        const auto limit = static_cast<size_t>(context_.config.maxAssociations);
        while (!stop_) {
            T_ASC_Association* assoc = nullptr;
            cond = ASC_receiveAssociation(network, &assoc, static_cast<int>(config_.getMaxReceivePDULength()),
                                          nullptr, nullptr, tls != nullptr, DUL_NOBLOCK, 1);
            reap(false);
            if (cond.bad()) {
                // No request within the second, or a connection that was no association (bytes that
                // are no PDU, a TLS handshake that failed): dropped, and the node listens on.
                if (cond != DUL_NOASSOCIATIONREQUEST && context_.log)
                    context_.log("connection on port " + std::to_string(port) + " dropped: " + cond.text());
                if (assoc) {
                    ASC_dropAssociation(assoc);
                    ASC_destroyAssociation(&assoc);
                }
                continue;
            }
            if (stop_ || workers_.size() >= limit) {
                if (context_.log)
                    context_.log("association from " + trimmed(assoc->params->DULparams.callingAPTitle) +
                                 " (" + assoc->params->DULparams.callingPresentationAddress + "): refused: " +
                                 (stop_ ? std::string("the node stops")
                                        : std::to_string(limit) + " associations at once already"));
                T_ASC_RejectParameters reject{ASC_RESULT_REJECTEDTRANSIENT,
                                              ASC_SOURCE_SERVICEPROVIDER_PRESENTATION_RELATED,
                                              ASC_REASON_SP_PRES_LOCALLIMITEXCEEDED};
                ASC_rejectAssociation(assoc, &reject);
                ASC_dropAssociation(assoc);
                ASC_destroyAssociation(&assoc);
                continue;
            }
            auto running = std::make_unique<Running>();
            running->worker = std::make_unique<Worker>(context_);
            running->worker->setSharedConfig(shared);
            Running* r = running.get();
            r->thread = std::thread([r, assoc] {
                r->worker->run(assoc);
                r->worker.reset(); // the association goes with its worker
                r->done = true;
            });
            workers_.push_back(std::move(running));
        }
        reap(true);
        ASC_dropNetwork(&network);
        return {};
    }

    void stop() { stop_ = true; }

private:
    struct Running {
        std::unique_ptr<Worker> worker;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    // Joins the workers that have ended (all of them, waiting, when `all`).
    void reap(bool all) {
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (all || (*it)->done) {
                (*it)->thread.join();
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
    }

    ReceiverContext& context_;
    DcmSCPConfig config_;
    std::atomic<bool> stop_{false};
    std::list<std::unique_ptr<Running>> workers_;
};

struct Receiver::TlsLayer {
    DcmTLSTransportLayer layer{NET_ACCEPTOR, nullptr, OFTrue};
};

Receiver::Receiver(ReceiverContext& context, std::uint16_t port, bool tls)
    : context_(context), port_(port), tls_(tls), pool_(std::make_unique<Pool>(context)) {}

Receiver::~Receiver() = default;

Status Receiver::prepare() {
    const NodeConfig& c = context_.config;
    DcmSCPConfig& config = pool_->getConfig();
    config.setPort(port_);
    config.setAETitle(c.aeTitle.c_str());
    config.setMaxReceivePDULength(ASC_MAXIMUMPDUSIZE);
    // The listener wakes every second to see whether the node stops.
    config.setConnectionBlockingMode(DUL_NOBLOCK);
    config.setConnectionTimeout(1);
    config.setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    config.setDIMSETimeout(static_cast<Uint32>(c.dimseTimeoutSeconds));
    config.setACSETimeout(5); // a connection that sends no association request holds the listener this long
    config.setHostLookupEnabled(OFFalse);
    config.setProgressNotificationMode(OFTrue);

    OFList<OFString> syntaxes;
    for (const char* uid :
         {UID_LittleEndianExplicitTransferSyntax, UID_LittleEndianImplicitTransferSyntax,
          UID_BigEndianExplicitTransferSyntax, UID_DeflatedExplicitVRLittleEndianTransferSyntax,
          UID_JPEGProcess14SV1TransferSyntax, UID_JPEGProcess14TransferSyntax, UID_JPEGProcess1TransferSyntax,
          UID_JPEGProcess2_4TransferSyntax, UID_JPEGLSLosslessTransferSyntax, UID_JPEGLSLossyTransferSyntax,
          UID_JPEG2000LosslessOnlyTransferSyntax, UID_JPEG2000TransferSyntax, UID_RLELosslessTransferSyntax})
        syntaxes.push_back(uid);
    for (const std::string& sopClass : receivedSopClasses())
        if (auto e = config.addPresentationContext(sopClass.c_str(), syntaxes); e.bad())
            return Error{std::string("presentation context: ") + e.text()};
    OFList<OFString> echoSyntaxes;
    echoSyntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    echoSyntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    if (auto e = config.addPresentationContext(UID_VerificationSOPClass, echoSyntaxes); e.bad())
        return Error{std::string("presentation context: ") + e.text()};

    if (tls_) {
        tlsLayer_ = std::make_unique<TlsLayer>();
        DcmTLSTransportLayer& layer = tlsLayer_->layer;
        auto check = [](const OFCondition& cond, const std::string& what) -> Status {
            if (cond.bad())
                return Error{what + ": " + cond.text()};
            return {};
        };
        if (auto e = check(layer.setTLSProfile(TSP_Profile_BCP195_ND), "TLS profile"); !e.ok())
            return e;
        if (auto e = check(layer.activateCipherSuites(), "TLS cipher suites"); !e.ok())
            return e;
        if (auto e = check(layer.setPrivateKeyFile(c.tlsPrivateKey.string().c_str(), DCF_Filetype_PEM),
                           "tls-private-key " + c.tlsPrivateKey.u8string());
            !e.ok())
            return e;
        if (auto e = check(layer.setCertificateFile(c.tlsCertificate.string().c_str(), DCF_Filetype_PEM),
                           "tls-certificate " + c.tlsCertificate.u8string());
            !e.ok())
            return e;
        if (!layer.checkPrivateKeyMatchesCertificate())
            return Error{"tls-private-key " + c.tlsPrivateKey.u8string() +
                         " does not belong to tls-certificate " + c.tlsCertificate.u8string()};
        if (!c.tlsTrustedCertificates.empty()) {
            if (auto e = check(layer.addTrustedCertificateFile(c.tlsTrustedCertificates.string().c_str(),
                                                               DCF_Filetype_PEM),
                               "tls-trusted-certificates " + c.tlsTrustedCertificates.u8string());
                !e.ok())
                return e;
            layer.setCertificateVerification(DCV_requireCertificate);
        } else {
            layer.setCertificateVerification(DCV_ignoreCertificate);
        }
    }
    return {};
}

Status Receiver::run() {
    return pool_->listen(port_, tlsLayer_ ? &tlsLayer_->layer : nullptr);
}

void Receiver::stop() {
    pool_->stop();
}

} // namespace tamso::node
