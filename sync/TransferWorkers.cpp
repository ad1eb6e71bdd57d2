#include "sync/TransferWorkers.h"

#include <memory>
#include <vector>

#include "common/Guarded.h"
#include "common/SystemThread.h"

namespace ornivel {

TransferWorkers::TransferWorkers() = default;

uint32_t TransferWorkers::entry(void* context) {
    auto* self = static_cast<TransferWorkers*>(context);
    self->work(self->nextWorker_.fetch_add(1));
    // The last thread out wakes the waiting one; after this the object may be gone.
    if (self->running_.fetch_sub(1) == 1) self->allEnded_.set();
    return 0;
}

void TransferWorkers::work(size_t worker) {
    while (!failed_.load()) {
        const size_t index = next_.fetch_add(1);
        if (index >= count_) break;
        if (!guarded("a transfer", false, [&] { return (*job_)(index, worker); })) failed_.store(true);
    }
}

bool TransferWorkers::run(size_t count, size_t workers, const Job& job, const std::function<void()>& report,
                          uint32_t reportEveryMs) {
    job_ = &job;
    count_ = count;
    next_.store(0);
    nextWorker_.store(0);
    failed_.store(false);
    allEnded_.reset();
    if (workers > count) workers = count;

    // Counted before any thread starts, so that no early end signals the end of all.
    running_.store(workers);
    std::vector<std::unique_ptr<SystemThread>> threads;
    for (size_t i = 0; i < workers; ++i) {
        auto thread = std::make_unique<SystemThread>();
        if (!thread->start(&TransferWorkers::entry, this, kPriorityNormal)) {
            if (running_.fetch_sub(1) == 1) allEnded_.set();
            continue;
        }
        threads.push_back(std::move(thread));
    }
    if (threads.empty()) {
        nextWorker_.store(0);
        work(0);
    } else {
        while (!allEnded_.wait(reportEveryMs)) report();
        for (auto& thread : threads) thread->wait();
    }
    report();
    job_ = nullptr;
    return !failed_.load() && next_.load() >= count_;
}

} // namespace ornivel
