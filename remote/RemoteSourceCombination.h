#pragma once
// A source that asks its member sources in turn and never again asks one that failed.
#include <memory>
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

    size_t sourceCount() const { return sources_.size(); }
    const std::set<const RemoteSource*>& failedSources() const { return failedSources_; }

private:
    LogDriver combinationLog_;
    std::vector<std::unique_ptr<RemoteSource>> sources_;
    std::set<const RemoteSource*> failedSources_;
};

} // namespace ornivel
