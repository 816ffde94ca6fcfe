#pragma once
// The DICOM Storage SCP of the node (one thread listens and hands each connection over at once to a
// thread of its own, which receives its TLS handshake and association request, each read bounded by
// request-timeout, then runs the association with DCMTK's SCP): digital X-ray (for presentation and for processing) and computed radiography in the
// usual transfer syntaxes, and Verification (C-ECHO). A C-STORE is answered Success only once the
// image's header is in the inbox on the disk (ImageInbox::admit); the image itself is
// received into a file of its own first, so that memory stays small whatever the image's size.
//
// Refused: associations from calling AE titles not allowed, to another called AE title, beyond the
// association limit or the calling host's share of it (the last free association is kept for a host
// that has none), without an offered SOP class the node receives; images above the size limit
// (the association is aborted as soon as the limit is passed), of another SOP class, whose data set
// does not match its request or cannot be read. An association that sends no command for
// idle-timeout seconds is closed. One line per association goes to the log, and one per refused
// image.

#include "node/imageinbox.h"
#include "node/nodeconfig.h"
#include "node/nodelog.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace tamso::node {

// What every association of the node shares.
struct ReceiverContext {
    ImageInbox* inbox = nullptr; // where each image goes
    NodeConfig config;
    NodeLogger log;
    std::atomic<bool> stopping{false};   // new images are refused, associations end
};

// One listening port, plain or TLS.
class Receiver {
public:
    Receiver(ReceiverContext& context, std::uint16_t port, bool tls);
    ~Receiver();
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    // Sets up the pool (and the TLS layer with its certificate, key and trusted certificates); the
    // error says what is wrong with them.
    Status prepare();
    // Listens until stop() and the associations in progress have ended; fails when the port cannot
    // be opened.
    Status run();
    void stop();

private:
    class Pool;
    ReceiverContext& context_;
    std::uint16_t port_;
    bool tls_;
    std::unique_ptr<Pool> pool_;
    struct TlsLayer;
    std::unique_ptr<TlsLayer> tlsLayer_;
    struct PlainTransport;
    std::unique_ptr<PlainTransport> plain_;
};

} // namespace tamso::node
