#include "node/nodeservice.h"

#include "dicom/dcmtksetup.h"
#include "engine/calculationstate.h"
#include "node/dosereporter.h"
#include "node/imageinbox.h"
#include "node/nodefolders.h"
#include "node/nodelog.h"
#include "node/nodeplatform.h"
#include "node/receiver.h"
#include "refdata/referenceloader.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace tamso::node {

namespace {

// The inbox the receivers hand images to: the processor keeps each header, and the processing
// thread wakes for it.
class ServiceInbox : public ImageInbox {
public:
    explicit ServiceInbox(ImageProcessor& processor) : processor_(processor) {}

    Expected<std::string> admit(const std::string& headerBytes) override {
        return processor_.admitHeader(headerBytes);
    }
    void notify() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            imageWaiting_ = true;
        }
        wake_.notify_one();
    }
    // Waits up to two seconds for an image or the end.
    void await() {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, std::chrono::seconds(2), [&] { return imageWaiting_ || finishing_; });
        imageWaiting_ = false;
    }
    // No new image comes: one more pass over what is left.
    void finish() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finishing_ = true;
            imageWaiting_ = true;
        }
        wake_.notify_one();
    }
    bool finishing() {
        std::lock_guard<std::mutex> lock(mutex_);
        return finishing_;
    }
    // Finishing, and nothing came since the last pass.
    bool finished() {
        std::lock_guard<std::mutex> lock(mutex_);
        return finishing_ && !imageWaiting_;
    }

private:
    ImageProcessor& processor_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool imageWaiting_ = true; // the inbox may hold images of an earlier run
    bool finishing_ = false;
};

// What must hold before the service starts; the error says why it cannot. Returns the service's
// lock on its working folder.
Expected<platform::ServiceLock> prepareStart(const NodeConfig& config) {
    // DCMTK's own messages stay quiet: the node logs every association and image itself.
    if (auto e = dicom::detail::prepareDcmtk(); !e.ok())
        return e.error();
    // DCMTK leaves Nagle's algorithm on unless TCP_NODELAY says otherwise: each C-STORE response,
    // written in two parts, would then wait for the sender's delayed acknowledgement (about 40 ms per
    // image). A site may still set TCP_NODELAY=0 in the service's environment.
    platform::setEnvironmentDefault("TCP_NODELAY", "1");
    {
        // A working folder whose reference data cannot be read would only fill the inbox.
        auto probe = std::make_unique<engine::CalculationState>();
        if (auto e = refdata::loadReferenceData(*probe, config.workFolder); !e.ok())
            return Error(ErrorCode::WorkFolderProblem, {config.workFolder.u8string(), e.message()});
    }
    // One service per working folder: a second one would take the same images twice over.
    if (Status links = refuseLinks(config.workFolder); !links.ok())
        return links.error();
    std::error_code made;
    fs::create_directories(nodeFolder(config.workFolder), made);
    return platform::lockService(serviceLockFile(config.workFolder));
}

// The service's first lines: where it works and listens, and where the dose reports go.
void announceStart(const NodeConfig& config, const DoseReporter& reporter, const NodeLogger& say) {
    say("tamso-node: working folder " + fs::absolute(config.workFolder).u8string() + ", AE title " +
        config.aeTitle + (config.port ? ", port " + std::to_string(*config.port) : std::string()) +
        (config.tlsPort ? ", TLS port " + std::to_string(*config.tlsPort) : std::string()) +
        (config.configFile.empty() ? std::string() : ", configuration " + config.configFile.u8string()));
    if (reporter.reporting()) {
        std::string where;
        for (const Destination& d : config.forward)
            where += (where.empty() ? "" : ", ") + destinationText(d);
        if (config.reportsBesideRecords)
            where += (where.empty() ? "" : ", ") + std::string("beside the records (線量レポート)");
        say("dose reports of the recorded exposures go to: " + where);
    }
}

void announceCallers(const NodeConfig& config, const NodeLogger& say) {
    if (config.allowedCallers.empty()) {
        say("no calling AE title is allowed (--allow): every association is refused");
    } else {
        std::string list;
        for (const std::string& title : config.allowedCallers)
            list += (list.empty() ? "" : ", ") + title;
        say("accepting images from: " + list);
    }
}

// The processing thread: a pass whenever an image waits (and every two seconds), every pass that
// settles images followed by another until nothing is left, until the inbox is finished.
void processUntilFinished(ImageProcessor& processor, ServiceInbox& inbox, OutboxWorker& sender,
                          const NodeLogger& processingLog) {
    for (;;) {
        inbox.await();
        for (;;) {
            auto pass = processor.processWaiting();
            if (!pass.ok()) {
                processingLog(pass.error().message());
                if (!inbox.finishing())
                    platform::waitForStop(std::chrono::seconds(5));
                break;
            }
            if (std::any_of(pass->begin(), pass->end(),
                            [](const ImageEntry& e) { return e.outcome == Outcome::Recorded; }))
                sender.wake();
            if (pass->empty())
                break;
        }
        if (inbox.finished())
            return;
    }
}

// Listens on every port until the stop request, then ends the associations; returns why a port
// failed, if one did.
std::string listenUntilStopped(std::vector<std::unique_ptr<Receiver>>& receivers, ReceiverContext& context,
                               const NodeLogger& say) {
    std::mutex failureMutex;
    std::string failure;
    std::vector<std::thread> listeners;
    for (auto& receiver : receivers)
        listeners.emplace_back([&, r = receiver.get()] {
            if (auto e = r->run(); !e.ok()) {
                {
                    std::lock_guard<std::mutex> lock(failureMutex);
                    failure = e.message();
                }
                platform::requestStop();
            }
        });

    while (!platform::waitForStop(std::chrono::seconds(3600))) {
    }
    say("stopping: no new associations; finishing the images acknowledged");
    context.stopping = true;
    for (auto& receiver : receivers)
        receiver->stop();
    for (std::thread& t : listeners)
        t.join();
    return failure;
}

} // namespace

int runNodeService(const NodeConfig& config, const NodeLogger& log, RecordedHook recorded) {
    const NodeLogger say = [&log](const std::string& line) {
        if (log)
            log(line);
    };
    auto serviceLock = prepareStart(config);
    if (!serviceLock.ok()) {
        say("cannot start: " + serviceLock.error().message());
        return 2;
    }
    // An error that comes back at every pass (a full disk) is said once a minute.
    const NodeLogger processingLog = limitRepeats(log);
    // The dose report of each image recorded; the outbox's sender sends them, and whatever else
    // waits there (reports of the screens' Data Save and of tamso-calc).
    DoseReporter reporter(config.workFolder, config.forward, config.reportsBesideRecords, "tamso-node", log,
                          config.outbox);
    ImageProcessor processor(config.workFolder, processingLog);
    processor.setRecordedHook([&reporter, extra = std::move(recorded)](const RecordedImage& image) -> Status {
        const Status reported = reporter.reportRecordedImage(image);
        if (extra)
            if (Status done = extra(image); !done.ok())
                return done;
        return reported;
    });
    if (auto e = processor.open(); !e.ok()) {
        say("cannot start: " + e.message());
        return 2;
    }

    ServiceInbox inbox(processor);
    ReceiverContext context;
    context.inbox = &inbox;
    context.config = config;
    context.log = log;
    std::vector<std::unique_ptr<Receiver>> receivers;
    if (config.port)
        receivers.push_back(std::make_unique<Receiver>(context, *config.port, false));
    if (config.tlsPort)
        receivers.push_back(std::make_unique<Receiver>(context, *config.tlsPort, true));
    for (auto& receiver : receivers)
        if (auto e = receiver->prepare(); !e.ok()) {
            say("cannot start: " + e.message());
            return 2;
        }

    announceStart(config, reporter, say);
    OutboxWorker sender(reporter.outbox(), storeSender(config.aeTitle));
    sender.onRound([&say](const SendRound& round) {
        std::string line = "dose reports: " + std::to_string(round.acknowledged) + " sent";
        if (round.failed > 0)
            line += ", " + std::to_string(round.failed) + " wait";
        for (const std::string& message : round.messages)
            line += "; " + message;
        say(line);
    });
    sender.start();
    announceCallers(config, say);

    std::thread processing([&] { processUntilFinished(processor, inbox, sender, processingLog); });
    const std::string failure = listenUntilStopped(receivers, context, say);
    inbox.finish();
    processing.join();
    sender.stop();
    const size_t left = processor.waitingCount();
    if (left > 0)
        say(std::to_string(left) + " image(s) wait in the inbox for the next start");
    if (!failure.empty()) {
        say("stopped: " + failure);
        return 2;
    }
    say("stopped");
    return 0;
}

} // namespace tamso::node
