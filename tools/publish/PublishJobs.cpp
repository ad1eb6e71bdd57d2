#include "PublishJobs.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_set>

#include "Signing.h"

#include "common/Guarded.h"

namespace ornivel::publish {

namespace {

// Links or copies, and hashes, the changed files, several at a time.
class JobRunner {
public:
    JobRunner(const Path& client, const Path& deploy, std::vector<ClientFile>& files, std::vector<Job>& jobs, bool copy)
        : client_(client), deploy_(deploy), files_(files), jobs_(jobs), copy_(copy) {}

    bool run(const ProgressCallback& progress) {
        uint64_t bytes = 0;
        for (const Job& job : jobs_) bytes += files_[job.file].stamp.size;
        const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
        const size_t count = std::min<size_t>({hardware, 8, jobs_.size()});
        std::vector<std::thread> workers;
        for (size_t i = 0; i < count; ++i) workers.emplace_back([this] { work(); });
        {
            std::unique_lock<std::mutex> lock(mutex_);
            while (!done_.wait_for(lock, std::chrono::milliseconds(200), [&] { return finished_ == count; }))
                if (progress) progress(filesDone_, jobs_.size(), bytesDone_, bytes);
        }
        for (std::thread& worker : workers) worker.join();
        if (progress && !jobs_.empty()) progress(filesDone_, jobs_.size(), bytesDone_, bytes);
        return !failed_;
    }

private:
    void work() {
        for (size_t i; !failed_ && (i = next_++) < jobs_.size();) {
            Job& job = jobs_[i];
            if (!guarded("a publishing worker", false, [&] { return runJob(job); })) {
                if (job.error.empty()) job.error = textOfPath(joined(client_, files_[job.file].path)) + ": could not be published";
                failed_ = true;
            }
            ++filesDone_;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        ++finished_;
        done_.notify_one();
    }

    // The digests of a file come with its linking or copying, in the same read of its bytes.
    bool runJob(Job& job) {
        ClientFile& file = files_[job.file];
        FileDigests digests;
        if (!placeAndHash(job, file, joined(client_, file.path), digests)) return false;
        file.checksum = std::move(digests.md5);
        file.sha256 = std::move(digests.sha256);
        return true;
    }

    bool placeAndHash(Job& job, const ClientFile& file, const Path& source, FileDigests& digests) {
        if (job.kind == Job::Hash) return hashFile(source, digests, bytesDone_, job.error);
        if (job.kind == Job::Place) {
            // A folder or a file in the way leaves the job to the placing, which clears it.
            const Path target = joined(deploy_, file.path);
            const LinkResult result = haveFolder(target.parent_path()) ? hardLink(source, target, job.error)
                                                                       : LinkResult::Exists;
            if (result == LinkResult::Failed) return false;
            job.kind = Job::Replace;
            if (result == LinkResult::Linked) {
                job.kind = Job::Place;
                job.linked = true;
                return hashFile(source, digests, bytesDone_, job.error);
            }
        }
        if (!copy_) {
            switch (hardLink(source, job.staged, job.error)) {
            case LinkResult::Linked: job.linked = true; return hashFile(source, digests, bytesDone_, job.error);
            case LinkResult::Exists: job.error = textOfPath(job.staged) + ": left over in the staging folder"; return false;
            case LinkResult::Failed: return false;
            case LinkResult::Unsupported: break;
            }
        }
        return copyAndHash(source, job.staged, file.stamp, digests, bytesDone_, job.error);
    }

    // Makes a folder of the deployment once; false when something else is in the way.
    bool haveFolder(const Path& folder) {
        const std::string key = textOfPath(folder);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (folders_.count(key)) return true;
        }
        std::string ignored;
        if (!makeFolders(folder, ignored)) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        folders_.insert(key);
        return true;
    }

    const Path& client_;
    const Path& deploy_;
    std::vector<ClientFile>& files_;
    std::vector<Job>& jobs_;
    const bool copy_;
    std::atomic<size_t> next_{0};
    std::atomic<size_t> filesDone_{0};
    std::atomic<uint64_t> bytesDone_{0};
    std::atomic<bool> failed_{false};
    std::mutex mutex_;
    std::condition_variable done_;
    size_t finished_ = 0;
    std::unordered_set<std::string> folders_;
};

} // namespace

bool runJobs(const Path& client, const Path& deploy, std::vector<ClientFile>& files, std::vector<Job>& jobs, bool copy,
             const ProgressCallback& progress) {
    return JobRunner(client, deploy, files, jobs, copy).run(progress);
}

} // namespace ornivel::publish
