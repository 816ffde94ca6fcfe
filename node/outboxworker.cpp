// The outbox's sender thread: a round whenever it is woken, when the next entry is due, and at
// each poll.

#include "node/outbox.h"

#include <algorithm>

namespace tamso::node {

OutboxWorker::OutboxWorker(Outbox& outbox, ReportSender send, std::chrono::milliseconds poll)
    : outbox_(outbox), send_(std::move(send)), poll_(poll) {}

OutboxWorker::~OutboxWorker() {
    stop();
}

void OutboxWorker::start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (thread_.joinable())
        return;
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void OutboxWorker::wake() {
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
    changed_.notify_all();
}

void OutboxWorker::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable())
        thread_.join();
}

void OutboxWorker::run() {
    for (;;) {
        auto round = outbox_.sendDue(send_);
        if (round.ok() && (round->acknowledged > 0 || round->failed > 0) && onRound_)
            onRound_(*round);
        // Wait for a wake-up, the next due entry or the poll, whichever comes first.
        auto wakeAt = std::chrono::steady_clock::now() + poll_;
        if (round.ok() && !round->busy)
            if (auto next = outbox_.nextDue(); next.ok() && *next) {
                const auto untilDue =
                    std::chrono::duration_cast<std::chrono::milliseconds>(**next - Clock::now());
                const auto soon = std::chrono::steady_clock::now() +
                                  std::max(untilDue, std::chrono::milliseconds(100)) +
                                  std::chrono::milliseconds(10);
                wakeAt = std::min(wakeAt, soon);
            }
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_until(lock, wakeAt, [this] { return woken_ || stopping_; });
        if (stopping_)
            return;
        woken_ = false;
    }
}

} // namespace tamso::node
