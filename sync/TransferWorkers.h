#pragma once
// A few threads of their own that take numbered jobs in order, while the thread that started
// them waits and reports what they have done at a steady pace.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "common/Event.h"

namespace ornivel {

class TransferWorkers {
public:
    // Runs one job on the worker `worker` (0 to the number of workers - 1); false: it failed.
    using Job = std::function<bool(size_t index, size_t worker)>;

    TransferWorkers();
    TransferWorkers(const TransferWorkers&) = delete;
    TransferWorkers& operator=(const TransferWorkers&) = delete;

    // Runs jobs 0 to `count` - 1 on up to `workers` threads, each thread taking the next job
    // when it is done with one. After the first failure no further job is handed out; the
    // running ones end as they will. `report` runs on the calling thread every `reportEveryMs`
    // while jobs run, and once more when all have ended (a report per change would cost a
    // wake-up of that thread per file and percent). A thread that cannot be started leaves its
    // jobs to the others (to the calling thread when none starts). True when every job
    // succeeded.
    bool run(size_t count, size_t workers, const Job& job, const std::function<void()>& report,
             uint32_t reportEveryMs);

private:
    static uint32_t entry(void* context);
    void work(size_t worker);

    const Job* job_ = nullptr;
    size_t count_ = 0;
    std::atomic<size_t> next_{0};
    std::atomic<size_t> nextWorker_{0};
    std::atomic<bool> failed_{false};
    std::atomic<size_t> running_{0};
    Event allEnded_{Event::Reset::Manual};
};

} // namespace ornivel
