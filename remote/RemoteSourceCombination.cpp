#include "remote/RemoteSourceCombination.h"

namespace ornivel {

RemoteSourceCombination::RemoteSourceCombination(const LogDriver& log) : RemoteSource(log), combinationLog_(log) {}

RemoteSourceCombination::~RemoteSourceCombination() = default;

void RemoteSourceCombination::addSource(RemoteSource* source) {
    if (source != nullptr) sources_.emplace_back(source);
}

bool RemoteSourceCombination::fetch(std::wstring remoteName, std::wstring localPath, ProgressListener* listener,
                                    NameBytes nameBytes) {
    for (const auto& source : sources_) {
        if (failedSources_.count(source.get()) != 0) continue;
        if (source->fetch(remoteName, localPath, listener, nameBytes)) return true;
        failedSources_.insert(source.get());
    }
    return false;
}

} // namespace ornivel
