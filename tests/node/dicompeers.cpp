#include "dicompeers.h"

#include "testsupport.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tamso::test {
namespace {

int exitStatus(int raw) {
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

} // namespace

pid_t spawn(const std::vector<std::string>& args, const fs::path& output, bool append) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC), 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            ::close(fd);
        }
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

std::uint16_t freeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no free port");
    ::close(s);
    return ntohs(address.sin_port);
}

std::string shellWord(const std::string& text) {
    std::string word = "'";
    for (char c : text)
        word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

Tool::Tool(const std::string& commandLine, const fs::path& outputFile)
    : pid_(spawn({"/bin/sh", "-c", commandLine}, outputFile)), output_(outputFile) {}

Tool::~Tool() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

int Tool::wait() {
    if (pid_ > 0) {
        int raw = 0;
        ::waitpid(pid_, &raw, 0);
        status_ = exitStatus(raw);
        pid_ = -1;
    }
    return status_;
}

std::string Tool::output() const {
    return readBytes(output_);
}

int runTool(const std::string& commandLine, const fs::path& scratchFolder, std::string* output) {
    static int counter = 0;
    const fs::path file = scratchFolder / ("tool-" + std::to_string(++counter) + ".txt");
    Tool tool(commandLine, file);
    const int status = tool.wait();
    if (output)
        *output = tool.output();
    std::error_code ec;
    fs::remove(file, ec);
    return status;
}

NodeProcess::NodeProcess(const std::vector<std::string>& args, const fs::path& logFile) : log_(logFile) {
    std::vector<std::string> argv = {std::string(TAMSO_BINARY_DIR) + "/tamso-node"};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = spawn(argv, logFile);
}

NodeProcess::~NodeProcess() {
    if (pid_ > 0)
        kill();
}

bool NodeProcess::running() {
    if (pid_ <= 0)
        return false;
    int raw = 0;
    if (::waitpid(pid_, &raw, WNOHANG) == pid_) {
        status_ = exitStatus(raw);
        pid_ = -1;
        return false;
    }
    return true;
}

bool NodeProcess::waitReady(std::uint16_t port, const std::string& callingAe, const fs::path& scratchFolder,
                            std::chrono::seconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (!running())
            return false;
        if (runTool("echoscu -to 5 -aet " + shellWord(callingAe) + " -aec TAMSO 127.0.0.1 " +
                        std::to_string(port),
                    scratchFolder) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

int NodeProcess::stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int raw = 0;
        ::waitpid(pid_, &raw, 0);
        status_ = exitStatus(raw);
        pid_ = -1;
    }
    return status_;
}

void NodeProcess::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

std::string NodeProcess::log() const {
    return readBytes(log_);
}

std::vector<std::string> acknowledgedFiles(const std::string& output) {
    std::vector<std::string> files;
    std::string current;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        const std::string line = output.substr(start, end - start);
        start = end + 1;
        const std::string sending = "I: Sending file: ";
        if (line.rfind(sending, 0) == 0)
            current = line.substr(sending.size());
        else if (line.find("Received Store Response (Success)") != std::string::npos && !current.empty())
            files.push_back(current);
    }
    return files;
}

} // namespace tamso::test
