// The download pass with several files in flight: each worker thread has a source (and a
// patch source) of its own, and the synchronising thread merges their progress.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

#include "filelist/FileList.h"
#include "remote/RemoteSource.h"
#include "sync/FileDigest.h"
#include "sync/OrnivelSynchronizer.h"
#include "sync/TransferWorkers.h"
#include "sync/UpdateStatus.h"

namespace ornivel {

namespace {

uint64_t listedBytes(const FileListFile& file) { return file.size > 0 ? static_cast<uint64_t>(file.size) : 0; }

// How often the synchronising thread reports what the transfers have brought.
constexpr uint32_t kReportEveryMs = 50;

// What one worker's current file has brought so far, from its source's percentage.
class WorkerProgress : public ProgressListener {
public:
    void begin(uint64_t size) {
        size_ = size;
        bytes_.store(0);
    }
    uint64_t bytes() const { return bytes_.load(); }
    void progress(const int*, const wchar_t*, const int*, const int*, const int* percent, const int*) override {
        if (!percent || *percent < 0 || *percent > 100) return;
        bytes_.store(size_ * static_cast<uint64_t>(*percent) / 100);
    }

private:
    uint64_t size_ = 0;
    std::atomic<uint64_t> bytes_{0};
};

// What a worker transfers with.
struct Worker {
    RemoteSource* source = nullptr;
    RemoteSource* patchSource = nullptr;
    std::unique_ptr<RemoteSource> ownSource, ownPatchSource;
    std::vector<unsigned char> block = fileDigestBuffer();
    std::unique_ptr<WorkerProgress> progress;
};

} // namespace

size_t OrnivelSynchronizer::transfersAtOnce() const {
    uint32_t count = parallelTransfers_ ? *parallelTransfers_ : parallelTransfersPolicy().value_or(kMaxParallelTransfers);
    if (count < 1) count = 1;
    if (count > kMaxParallelTransfers) count = kMaxParallelTransfers;
    return count;
}

bool OrnivelSynchronizer::downloadInParallel(std::vector<Transfer>& transfers, RemoteSource& source,
                                             RemoteSource* patchSource, const SourceMaker& moreSources,
                                             size_t workerCount, const FILETIME& now) {
    TransferWorkers pool;
    std::vector<Worker> workers;
    const bool patches = patchSource != nullptr;
    for (size_t i = 0; i < workerCount && i < transfers.size(); ++i) {
        Worker worker;
        worker.source = &source;
        worker.patchSource = patchSource;
        if (i > 0) {
            worker.ownSource = moreSources(false);
            if (!worker.ownSource) break;
            worker.source = worker.ownSource.get();
            if (patches) {
                worker.ownPatchSource = moreSources(true);
                worker.patchSource = worker.ownPatchSource.get();
            }
        }
        worker.progress = std::make_unique<WorkerProgress>();
        workers.push_back(std::move(worker));
    }

    uint64_t totalBytes = 0;
    for (const Transfer& transfer : transfers) totalBytes += listedBytes(*transfer.file);
    std::atomic<uint64_t> bytesDone{0};

    // Which transfers have ended; the synchronising thread reads them from the first open one.
    std::unique_ptr<std::atomic<bool>[]> ended(new std::atomic<bool>[transfers.size()]);
    for (size_t i = 0; i < transfers.size(); ++i) ended[i].store(false);
    std::atomic<size_t> endedCount{0};
    size_t firstOpen = 0;

    // Runs on the synchronising thread: the first file of the list still under way (as one
    // after the other would count it), and the bytes of the whole pass.
    const auto report = [&] {
        uint64_t bytes = bytesDone.load();
        for (const Worker& worker : workers) bytes += worker.progress->bytes();
        while (firstOpen + 1 < transfers.size() && ended[firstOpen].load()) ++firstOpen;
        int current = transfers[firstOpen].number;
        int percent = totalBytes ? static_cast<int>(bytes * 100 / totalBytes)
                                 : static_cast<int>(endedCount.load() * 100 / transfers.size());
        if (percent > 100) percent = 100;
        progress(nullptr, nullptr, &current, nullptr, &percent, nullptr);
    };
    if (!transfers.empty()) report();

    // The files between two that travel alone go together.
    for (size_t first = 0; first < transfers.size();) {
        size_t last = first + 1;
        if (!transfers[first].travelsAlone())
            while (last < transfers.size() && !transfers[last].travelsAlone()) ++last;
        const auto job = [&](size_t index, size_t w) {
            Transfer& transfer = transfers[first + index];
            Worker& worker = workers[w];
            worker.progress->begin(listedBytes(*transfer.file));
            const bool taken = transferFile(transfer, *worker.source, worker.patchSource, worker.progress.get(), now,
                                            worker.block) == Arrival::Taken;
            if (taken) bytesDone += listedBytes(*transfer.file);  // before its share goes: the bar never steps back
            worker.progress->begin(0);
            ended[first + index].store(true);
            ++endedCount;
            return taken;
        };
        const size_t together = last - first == 1 ? 1 : workers.size();
        if (!pool.run(last - first, together, job, report, kReportEveryMs)) break;  // the source or the check has logged why
        first = last;
    }
    bool all = true;
    for (const Transfer& transfer : transfers) {
        if (transfer.taken) noteArrival(transfer);
        all &= transfer.taken;
    }
    return all;
}

} // namespace ornivel
