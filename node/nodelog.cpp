#include "node/nodelog.h"

#include "textio/fileio.h"

#include <map>
#include <memory>
#include <mutex>

namespace tamso::node {

std::string stampedLogEntry(const std::string& time, const std::string& message) {
    std::string entry;
    for (const std::string& line : textio::splitLines(message)) {
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        entry += time + (entry.empty() ? " " : "   ") + line + "\n";
    }
    return entry.empty() ? time + " \n" : entry;
}

NodeLogger limitRepeats(NodeLogger log, std::chrono::steady_clock::duration interval) {
    struct Said {
        std::chrono::steady_clock::time_point when;
        long long leftOut = 0;
    };
    struct State {
        std::mutex mutex;
        std::map<std::string, Said> said;
    };
    auto state = std::make_shared<State>();
    return [log = std::move(log), interval, state](const std::string& line) {
        if (!log)
            return;
        const auto now = std::chrono::steady_clock::now();
        long long leftOut = 0;
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            auto it = state->said.find(line);
            if (it != state->said.end() && now - it->second.when < interval) {
                ++it->second.leftOut;
                return;
            }
            if (it != state->said.end())
                leftOut = it->second.leftOut;
            if (state->said.size() > 1000) // lines of the past: forget those said long ago
                for (auto old = state->said.begin(); old != state->said.end();)
                    old = now - old->second.when >= interval ? state->said.erase(old) : std::next(old);
            state->said[line] = {now, 0};
        }
        log(leftOut > 0 ? line + " (" + std::to_string(leftOut) + " more time(s) since it was last logged)" : line);
    };
}

} // namespace tamso::node
