#include "node/receiver.h"

#include "node/imageheader.h"
#include "node/nodeplatform.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/assoc.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/dcmnet/dul.h>
#include <dcmtk/dcmnet/scpthrd.h>
#include <dcmtk/dcmtls/tlslayer.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <list>
#include <map>
#include <mutex>
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
    Worker(ReceiverContext& context, platform::NativeSocket socket, std::function<void()> ended)
        : context_(context), socket_(socket), ended_(std::move(ended)) {}

    OFCondition run(T_ASC_Association* assoc) override {
        assoc_ = assoc;
        return DcmThreadSCP::run(assoc);
    }

protected:
    // DCMTK's loop of commands, with the idle limit: an association that sends no command for
    // idle-timeout seconds is closed, and one that waits when the node stops ends within a second.
    void handleAssociation() override {
        const auto idle = std::chrono::seconds(context_.config.idleTimeoutSeconds);
        auto lastCommand = std::chrono::steady_clock::now();
        OFCondition cond = EC_Normal;
        while (cond.good()) {
            // A second at a time, on the socket itself (DCMTK's waits cannot be repeated once they timed
            // out). A sender waits for each answer, so no command lies unread in a TLS buffer.
            if (!platform::waitReadable(socket_, std::chrono::seconds(1))) {
                if (context_.stopping) {
                    ending_ = "ended: the node stops";
                    break;
                }
                if (std::chrono::steady_clock::now() - lastCommand >= idle) {
                    ending_ = "closed: no command for " + std::to_string(idle.count()) + " s";
                    break;
                }
                continue;
            }
            T_DIMSE_Message message;
            T_ASC_PresentationContextID presID = 0;
            cond = receiveDIMSECommand(&presID, &message, nullptr, nullptr,
                                       static_cast<Uint32>(context_.config.dimseTimeoutSeconds));
            if (cond.good()) {
                DcmPresentationContextInfo info;
                getPresentationContextInfo(assoc_, presID, info);
                cond = handleIncomingCommand(&message, info);
                lastCommand = std::chrono::steady_clock::now();
            }
        }
        ended_(); // its place is free before the sender hears the association end
        if (cond == DUL_PEERREQUESTEDRELEASE) {
            notifyReleaseRequest();
            ASC_acknowledgeRelease(assoc_);
        } else if (cond == DUL_PEERABORTEDASSOCIATION) {
            notifyAbortRequest();
        } else {
            if (cond.bad())
                notifyDIMSEError(cond);
            // DCMTK waits after its A-ABORT until the sender closes: nothing more is read.
            platform::stopReading(socket_);
            ASC_abortAssociation(assoc_);
        }
        // The association is dropped with its worker.
    }

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
        ImageInbox& inbox = *context_.inbox;
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
                                  : Expected<std::string>(Error(ErrorCode::ReceivedNoDataSet));
            dataset.reset();
            if (!header.ok()) {
                status = STATUS_STORE_Error_CannotUnderstand;
                problem = header.error().message();
            } else if (uid != request.AffectedSOPInstanceUID || sopClass != request.AffectedSOPClassUID) {
                status = STATUS_STORE_Error_DataSetDoesNotMatchSOPClass;
                problem = "the data set's SOP class or instance UID differs from the request";
            } else if (auto admitted = inbox.admit(*header); !admitted.ok()) {
                status = STATUS_STORE_Refused_OutOfResources;
                problem = admitted.error().message();
            }
        }
        if (status == STATUS_Success) {
            ++stored_;
            inbox.notify();
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
    platform::NativeSocket socket_;
    std::function<void()> ended_;
    T_ASC_Association* assoc_ = nullptr;
    std::string calling_, called_, peer_, refusal_, ending_;
    std::vector<std::string> offered_;
    bool accepted_ = false;
    bool tooLarge_ = false;
    int stored_ = 0;
    int refused_ = 0;
};

// DCMTK takes a connection accepted elsewhere only through one global handle
// (dcmExternalSocketHandle), which it reads as it starts to receive an association. A worker sets
// it under this lock, and the transport layer below gives the lock back as soon as DCMTK has made
// the connection of that socket, so the workers' TLS handshakes and association requests run at
// the same time, each on its own thread, and none waits for another's.
std::mutex handoverMutex;
thread_local bool handingOver = false;
thread_local int requestLimitSeconds = 10;

void handedOver(DcmNativeSocketType socket) {
    if (!handingOver)
        return;
    // DCMTK has just given each read of the socket 60 s: the handshake and the request get less.
    platform::setReceiveTimeout(static_cast<platform::NativeSocket>(socket),
                                std::chrono::seconds(requestLimitSeconds));
    dcmExternalSocketHandle.set(DCMNET_INVALID_SOCKET);
    handingOver = false;
    handoverMutex.unlock();
}

class PlainLayer : public DcmTransportLayer {
public:
    DcmTransportConnection* createConnection(DcmNativeSocketType socket, OFBool secure) override {
        handedOver(socket);
        return DcmTransportLayer::createConnection(socket, secure);
    }
};

class TlsHandoverLayer : public DcmTLSTransportLayer {
public:
    TlsHandoverLayer() : DcmTLSTransportLayer(NET_ACCEPTOR, nullptr, OFTrue) {}
    DcmTransportConnection* createConnection(DcmNativeSocketType socket, OFBool secure) override {
        handedOver(socket);
        return DcmTLSTransportLayer::createConnection(socket, secure);
    }
};

// Receives the association request of an accepted connection on the calling thread (the TLS
// handshake first, on a TLS port); every read waits at most `limitSeconds`.
OFCondition receiveRequest(T_ASC_Network* network, platform::NativeSocket socket, bool tls, int limitSeconds,
                           T_ASC_Association** assoc) {
    handoverMutex.lock();
    handingOver = true;
    requestLimitSeconds = limitSeconds;
    dcmExternalSocketHandle.set(static_cast<DcmNativeSocketType>(socket));
    const OFCondition cond = ASC_receiveAssociation(network, assoc, ASC_MAXIMUMPDUSIZE, nullptr, nullptr,
                                                    tls ? OFTrue : OFFalse, DUL_NOBLOCK, limitSeconds);
    if (handingOver) { // DCMTK never took the socket over
        dcmExternalSocketHandle.set(DCMNET_INVALID_SOCKET);
        handingOver = false;
        handoverMutex.unlock();
        platform::closeSocket(socket);
    }
    return cond;
}

void dropAssociation(T_ASC_Association*& assoc) {
    if (!assoc)
        return;
    ASC_dropAssociation(assoc);
    ASC_destroyAssociation(&assoc);
}

} // namespace

// The listener and its workers: one thread accepts connections and hands each over at once to a
// thread of its own, which receives the association request (and the TLS handshake), admits or
// refuses it, and runs it; the listener joins the threads that have ended. No connection ever
// waits for another.
class Receiver::Pool {
public:
    explicit Pool(ReceiverContext& context) : context_(context) {}
    DcmSCPConfig& getConfig() { return config_; }

    Status listen(std::uint16_t port, DcmTransportLayer* layer, bool tls) {
        auto listener = platform::openListeningSocket(port);
        if (!listener.ok())
            return listener.error();
        T_ASC_Network* network = nullptr;
        OFCondition cond;
        {
            // DCMTK's network without a listening socket of its own: the connections come from ours.
            std::lock_guard<std::mutex> lock(handoverMutex);
            dcmExternalSocketHandle.set(static_cast<DcmNativeSocketType>(*listener));
            cond = ASC_initializeNetwork(NET_ACCEPTOR, port, context_.config.requestTimeoutSeconds, &network);
            dcmExternalSocketHandle.set(DCMNET_INVALID_SOCKET);
        }
        if (cond.good())
            cond = ASC_setTransportLayer(network, layer, 0);
        if (cond.bad()) {
            if (network)
                ASC_dropNetwork(&network);
            platform::closeSocket(*listener);
            return Error(ErrorCode::PortUnusable, {std::to_string(port), cond.text()});
        }
        const DcmSharedSCPConfig shared(config_);
        // Connections still in their handshake or request beyond this many are closed at once.
        const size_t connectionLimit = static_cast<size_t>(context_.config.maxAssociations) + 32;
        while (!stop_) {
            std::string peer;
            const platform::NativeSocket socket =
                platform::acceptConnection(*listener, std::chrono::seconds(1), peer);
            reap(false);
            endLateRequests();
            if (socket == platform::kNoSocket)
                continue;
            if (workers_.size() >= connectionLimit) {
                platform::closeSocket(socket);
                if (context_.log)
                    context_.log("connection from " + peer + " on port " + std::to_string(port) +
                                 " closed: " + std::to_string(connectionLimit) + " connections at once already");
                continue;
            }
            auto running = std::make_unique<Running>();
            Running* r = running.get();
            r->thread = std::thread([this, r, socket, peer, network, tls, port, &shared] {
                serve(network, socket, peer, tls, port, shared);
                r->done = true;
            });
            workers_.push_back(std::move(running));
        }
        reap(true);
        platform::closeSocket(*listener);
        ASC_dropNetwork(&network);
        return {};
    }

    void stop() { stop_ = true; }

private:
    struct Running {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    // One connection, on its own thread: its request, its admission, its association.
    void serve(T_ASC_Network* network, platform::NativeSocket socket, const std::string& peer, bool tls,
               std::uint16_t port, const DcmSharedSCPConfig& shared) {
        const NodeConfig& c = context_.config;
        T_ASC_Association* assoc = nullptr;
        const std::uint64_t identity = platform::socketIdentity(socket);
        const auto key = std::this_thread::get_id();
        {
            std::lock_guard<std::mutex> lock(pendingMutex_);
            pending_[key] = {std::chrono::steady_clock::now() + std::chrono::seconds(c.requestTimeoutSeconds),
                             socket, identity};
        }
        const OFCondition cond = receiveRequest(network, socket, tls, c.requestTimeoutSeconds, &assoc);
        {
            std::lock_guard<std::mutex> lock(pendingMutex_);
            pending_.erase(key);
        }
        if (cond.bad()) {
            // No request in time, bytes that are no PDU, a TLS handshake that failed: closed.
            if (context_.log)
                context_.log("connection from " + peer + " on port " + std::to_string(port) +
                             " closed: " + oneLine(cond.text()));
            dropAssociation(assoc);
            // DCMTK leaves the socket of a request that timed out open: closed here unless it did.
            if (identity != 0 && platform::socketIdentity(socket) == identity)
                platform::closeSocket(socket);
            return;
        }
        const std::string refusal = admit(peer);
        if (!refusal.empty()) {
            if (context_.log)
                context_.log("association from " + trimmed(assoc->params->DULparams.callingAPTitle) + " (" +
                             peer + "): refused: " + refusal);
            T_ASC_RejectParameters reject{ASC_RESULT_REJECTEDTRANSIENT,
                                          ASC_SOURCE_SERVICEPROVIDER_PRESENTATION_RELATED,
                                          ASC_REASON_SP_PRES_LOCALLIMITEXCEEDED};
            ASC_rejectAssociation(assoc, &reject);
            dropAssociation(assoc);
            return;
        }
        // Within an image, a sender may pause between PDUs for the DIMSE timeout.
        platform::setReceiveTimeout(socket, std::chrono::seconds(c.dimseTimeoutSeconds));
        bool released = false;
        auto end = [&] {
            if (!released)
                release(peer);
            released = true;
        };
        {
            Worker worker(context_, socket, end);
            worker.setSharedConfig(shared);
            worker.run(assoc); // the association goes with its worker
        }
        end();
    }

    // A connection whose handshake or request is not through by its time stops being read, so that
    // DCMTK, whichever read it waits in, gives up at once (a sender that trickles bytes included).
    void endLateRequests() {
        const auto now = std::chrono::steady_clock::now();
        std::lock_guard<std::mutex> lock(pendingMutex_);
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (now < it->second.deadline) {
                ++it;
                continue;
            }
            // Still the same socket (open, not closed by DCMTK and its handle given to another).
            if (it->second.identity != 0 && platform::socketIdentity(it->second.socket) == it->second.identity)
                platform::stopReading(it->second.socket);
            it = pending_.erase(it);
        }
    }

    // Takes one of the associations at once for the host; the reason of a refusal otherwise. A host
    // has at most its share, and the last free association is kept for a host that has none.
    std::string admit(const std::string& host) {
        const NodeConfig& c = context_.config;
        std::lock_guard<std::mutex> lock(countMutex_);
        int& mine = perHost_[host];
        std::string refusal;
        if (stop_)
            refusal = "the node stops";
        else if (total_ >= c.maxAssociations)
            refusal = std::to_string(c.maxAssociations) + " associations at once already";
        else if (mine >= c.maxAssociationsPerHost)
            refusal = std::to_string(c.maxAssociationsPerHost) + " associations from " + host + " at once already";
        else if (mine > 0 && total_ == c.maxAssociations - 1)
            refusal = "the last free association is kept for another host";
        if (!refusal.empty()) {
            if (mine == 0)
                perHost_.erase(host);
            return refusal;
        }
        ++mine;
        ++total_;
        return {};
    }

    void release(const std::string& host) {
        std::lock_guard<std::mutex> lock(countMutex_);
        --total_;
        if (--perHost_[host] <= 0)
            perHost_.erase(host);
    }

    static std::string oneLine(std::string text) {
        std::replace(text.begin(), text.end(), '\n', ' ');
        return text;
    }

    // Joins the threads that have ended (all of them, waiting, when `all`).
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
    struct Pending {
        std::chrono::steady_clock::time_point deadline;
        platform::NativeSocket socket;
        std::uint64_t identity;
    };
    std::mutex pendingMutex_;
    std::map<std::thread::id, Pending> pending_; // connections in their handshake or request
    std::mutex countMutex_;
    int total_ = 0;
    std::map<std::string, int> perHost_;
};

struct Receiver::TlsLayer {
    TlsHandoverLayer layer;
};

struct Receiver::PlainTransport {
    PlainLayer layer;
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
    config.setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    config.setDIMSETimeout(static_cast<Uint32>(c.dimseTimeoutSeconds)); // between the PDUs of an image
    config.setACSETimeout(static_cast<Uint32>(c.requestTimeoutSeconds));
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
            return Error(ErrorCode::PresentationContextBad, {e.text()});
    OFList<OFString> echoSyntaxes;
    echoSyntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    echoSyntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    if (auto e = config.addPresentationContext(UID_VerificationSOPClass, echoSyntaxes); e.bad())
        return Error(ErrorCode::PresentationContextBad, {e.text()});

    if (tls_) {
        tlsLayer_ = std::make_unique<TlsLayer>();
        DcmTLSTransportLayer& layer = tlsLayer_->layer;
        auto check = [](const OFCondition& cond, const std::string& what) -> Status {
            if (cond.bad())
                return Error(ErrorCode::TlsSettingFailed, {what, cond.text()});
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
            return Error(ErrorCode::TlsKeyMismatch,
                         {c.tlsPrivateKey.u8string(), c.tlsCertificate.u8string()});
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
    if (tlsLayer_)
        return pool_->listen(port_, &tlsLayer_->layer, true);
    plain_ = std::make_unique<PlainTransport>();
    return pool_->listen(port_, &plain_->layer, false);
}

void Receiver::stop() {
    pool_->stop();
}

} // namespace tamso::node
