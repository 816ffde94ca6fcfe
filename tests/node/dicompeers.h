#pragma once
// Real DICOM peers for the node's tests: the built tamso-node as a child process on a free loopback
// port, and DCMTK's own command-line tools (storescu, echoscu) run as other programs. POSIX only,
// like the service tests that use them.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tamso::test {

namespace fs = std::filesystem;

// A TCP port on 127.0.0.1 that nothing listens on now.
std::uint16_t freeLoopbackPort();

// Starts a program (a path, or a name looked up on PATH) with its standard output and error into
// a file, replaced or appended to; its process ID.
pid_t spawn(const std::vector<std::string>& args, const fs::path& output, bool append = false);

// A shell word in single quotes.
std::string shellWord(const std::string& text);

// A command line run by /bin/sh in the background, its standard output and error into a file.
class Tool {
public:
    Tool(const std::string& commandLine, const fs::path& outputFile);
    ~Tool();
    Tool(const Tool&) = delete;
    Tool& operator=(const Tool&) = delete;
    int wait(); // the exit status (-1 when killed)
    std::string output() const;

private:
    pid_t pid_ = -1;
    fs::path output_;
    int status_ = -1;
};

// Runs a command line and waits: its exit status, its output in `output` if given.
int runTool(const std::string& commandLine, const fs::path& scratchFolder, std::string* output = nullptr);

// The built tamso-node with the given arguments, its standard error into a file.
class NodeProcess {
public:
    NodeProcess(const std::vector<std::string>& args, const fs::path& logFile);
    ~NodeProcess(); // a node still running is killed
    NodeProcess(const NodeProcess&) = delete;
    NodeProcess& operator=(const NodeProcess&) = delete;

    // Waits until C-ECHO from the calling AE title succeeds (true), or the node ended or the time ran out.
    bool waitReady(std::uint16_t port, const std::string& callingAe, const fs::path& scratchFolder,
                   std::chrono::seconds timeout = std::chrono::seconds(20));
    int stop();  // SIGTERM, then the exit status
    void kill(); // SIGKILL, as a crash
    bool running();
    std::string log() const;

private:
    pid_t pid_ = -1;
    fs::path log_;
    int status_ = -1;
};

// The files storescu reported as acknowledged with Success, from its verbose output (-v).
std::vector<std::string> acknowledgedFiles(const std::string& storescuOutput);

} // namespace tamso::test
