#include "remote/RemoteSourceCombination.h"

namespace ornivel {

RemoteSourceCombination::RemoteSourceCombination(const LogDriver& log) : RemoteSource(log), combinationLog_(log) {}

RemoteSourceCombination::~RemoteSourceCombination() = default;

void RemoteSourceCombination::addSource(RemoteSource* source) {
    if (source != nullptr) sources_.emplace_back(source);
}

bool RemoteSourceCombination::failedAt(size_t index) const {
    std::lock_guard<std::mutex> guard(failures_->lock);
    return failures_->members.count(index) != 0;
}

bool RemoteSourceCombination::fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener,
                                    NameBytes nameBytes) {
    for (size_t i = 0; i < sources_.size(); ++i) {
        if (failedAt(i)) continue;
        if (sources_[i]->fetch(remoteName, localPath, listener, nameBytes)) return true;
        std::lock_guard<std::mutex> guard(failures_->lock);
        failures_->members.insert(i);
    }
    return false;
}

void RemoteSourceCombination::shareFailuresWith(const RemoteSourceCombination& other) { failures_ = other.failures_; }

bool RemoteSourceCombination::failed(const RemoteSource* member) const {
    for (size_t i = 0; i < sources_.size(); ++i)
        if (sources_[i].get() == member) return failedAt(i);
    return false;
}

} // namespace ornivel
