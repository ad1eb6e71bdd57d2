#pragma once
// A source that asks its member sources in turn and never again asks one that failed.
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "remote/RemoteSource.h"

namespace ornivel {

class RemoteSourceCombination : public RemoteSource {
public:
    explicit RemoteSourceCombination(const LogDriver& log);
    ~RemoteSourceCombination() override;

    // Appends a source; the combination owns it from then on (null is ignored).
    void addSource(RemoteSource* source);

    // The first source that has not failed before and delivers the file wins; a source that
    // fails is remembered and skipped for every later file.
    bool fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener,
               NameBytes nameBytes = NameBytes::Utf8) override;

    // From now on remembers its failures together with `other`, a combination of the same
    // kinds of source in the same order (another transfer to the same server, on a thread of
    // its own): a member that failed in either is skipped by both.
    void shareFailuresWith(const RemoteSourceCombination& other);

    size_t sourceCount() const { return sources_.size(); }
    // Whether `member` has failed.
    bool failed(const RemoteSource* member) const;

private:
    struct Failures {
        std::mutex lock;
        std::set<size_t> members;  // by place in the combination
    };
    bool failedAt(size_t index) const;

    LogDriver combinationLog_;
    std::vector<std::unique_ptr<RemoteSource>> sources_;
    std::shared_ptr<Failures> failures_ = std::make_shared<Failures>();
};

} // namespace ornivel
