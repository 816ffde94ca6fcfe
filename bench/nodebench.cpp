// The receiving service end to end: 1,000 DX images of about 2 MB sent over loopback by four
// concurrent DICOM clients (DCMTK's DcmSCU, one association each) to the node running in this
// process on a working folder of the shipped data; timed from the first association until the
// last image is recorded. items/s = images recorded per second. The same images sent the same way
// to an Orthanc PACS (Debian's orthanc, started by the benchmark on loopback) give the store rate
// the node is held against: timed until the last image is acknowledged (stored).

#include "dicomtestfiles.h"
#include "node/imagelog.h"
#include "node/nodeconfig.h"
#include "node/nodeplatform.h"
#include "node/nodeservice.h"
#include "nodetestsupport.h"
#include "testsupport.h"

#include <benchmark/benchmark.h>

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/scu.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace tamso;

namespace {

namespace fs = std::filesystem;

constexpr int kClients = 4;
constexpr int kImagesPerClient = 250;
constexpr int kInfants = 10;

std::uint16_t freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// One client: its association, then kImagesPerClient images, each with a UID of its own.
int sendImages(int client, std::uint16_t port, const fs::path& imageFile, const char* peerAeTitle = "TAMSO") {
    DcmFileFormat file;
    if (file.loadFile(imageFile.string().c_str()).bad())
        return 0;
    DcmDataset& data = *file.getDataset();
    DcmSCU scu;
    scu.setAETitle(("BENCH" + std::to_string(client)).c_str());
    scu.setPeerHostName("127.0.0.1");
    scu.setPeerPort(port);
    scu.setPeerAETitle(peerAeTitle);
    scu.setMaxReceivePDULength(ASC_MAXIMUMPDUSIZE);
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    scu.addPresentationContext(UID_DigitalXRayImageStorageForPresentation, syntaxes);
    if (scu.initNetwork().bad() || scu.negotiateAssociation().bad())
        return 0;
    const T_ASC_PresentationContextID context =
        scu.findPresentationContextID(UID_DigitalXRayImageStorageForPresentation, "");
    int sent = 0;
    for (int k = 0; k < kImagesPerClient; ++k) {
        char uid[100];
        data.putAndInsertString(DCM_SOPInstanceUID, dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT));
        data.putAndInsertString(DCM_PatientID,
                                ("B-" + std::to_string((client * kImagesPerClient + k) % kInfants)).c_str());
        Uint16 status = 0xFFFF;
        if (scu.sendSTORERequest(context, "", &data, status).good() && status == STATUS_Success)
            ++sent;
    }
    scu.releaseAssociation();
    return sent;
}

void BM_NodeReceiveAndRecord(benchmark::State& bench) {
    test::TempFolder images;
    test::DicomImage image;
    image.pixels(1024, 1024).set(DCM_PatientName, "Bench^Infant");
    const fs::path imageFile = images.path() / "image.dcm";
    image.save(imageFile);

    for (auto _ : bench) {
        bench.PauseTiming();
        test::TempFolder work;
        for (const auto& entry : fs::directory_iterator(fs::path(TAMSO_SOURCE_DIR) / "data"))
            if (entry.path().filename() != "README.md")
                fs::copy_file(entry.path(), work.path() / entry.path().filename());
        node::NodeConfig config;
        config.workFolder = work.path();
        config.port = freePort();
        config.allowedCallers = {"BENCH0", "BENCH1", "BENCH2", "BENCH3"};
        node::platform::clearStopRequest();
        std::atomic<int> recorded{0};
        std::thread service([&] {
            node::runNodeService(config, {}, [&](const node::RecordedImage&) {
                ++recorded;
                return Status();
            });
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the port opens
        bench.ResumeTiming();

        const auto start = std::chrono::steady_clock::now();
        std::atomic<int> acknowledged{0};
        std::vector<std::thread> clients;
        for (int c = 0; c < kClients; ++c)
            clients.emplace_back([&, c] { acknowledged += sendImages(c, *config.port, imageFile); });
        for (std::thread& t : clients)
            t.join();
        const double sentSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const int total = kClients * kImagesPerClient;
        while (recorded < acknowledged)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bench.SetIterationTime(seconds);

        bench.PauseTiming();
        node::platform::requestStop();
        service.join();
        if (acknowledged != total)
            bench.SkipWithError("not every image was acknowledged");
        bench.counters["acknowledged_per_s"] = acknowledged.load() / sentSeconds;
        bench.counters["recorded"] = recorded.load();
        bench.ResumeTiming();
    }
    bench.SetItemsProcessed(bench.iterations() * kClients * kImagesPerClient);
}
BENCHMARK(BM_NodeReceiveAndRecord)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

// The same load against Orthanc: four clients, 1,000 images of 2 MB, until the last is stored.
void BM_OrthancStore(benchmark::State& bench) {
    test::TempFolder images;
    test::DicomImage image;
    image.pixels(1024, 1024).set(DCM_PatientName, "Bench^Infant");
    const fs::path imageFile = images.path() / "image.dcm";
    image.save(imageFile);
    for (auto _ : bench) {
        bench.PauseTiming();
        std::unique_ptr<test::Orthanc> pacs;
        try {
            pacs = std::make_unique<test::Orthanc>(std::vector<std::string>{"BENCH0", "BENCH1", "BENCH2", "BENCH3"});
        } catch (const std::exception& e) {
            bench.SkipWithError(e.what());
            break;
        }
        const std::uint16_t port = pacs->destination().port;
        bench.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        std::atomic<int> acknowledged{0};
        std::vector<std::thread> clients;
        for (int c = 0; c < kClients; ++c)
            clients.emplace_back([&, c] { acknowledged += sendImages(c, port, imageFile, "ORTHANC"); });
        for (std::thread& t : clients)
            t.join();
        bench.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        bench.PauseTiming();
        if (acknowledged != kClients * kImagesPerClient)
            bench.SkipWithError("Orthanc did not store every image");
        pacs.reset();
        bench.ResumeTiming();
    }
    bench.SetItemsProcessed(bench.iterations() * kClients * kImagesPerClient);
}
BENCHMARK(BM_OrthancStore)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
