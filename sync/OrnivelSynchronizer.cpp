#include "sync/OrnivelSynchronizer.h"

namespace ornivel {

// Placeholder until the synchronisation driver lands: nothing is synchronised.
OrnivelSynchronizer::OrnivelSynchronizer(bool fieldService, const std::wstring& folder, const LogDriver& log,
                                         bool debug)
    : fieldService_(fieldService), folder_(folder), log_(log), debug_(debug) {}
OrnivelSynchronizer::~OrnivelSynchronizer() = default;

void OrnivelSynchronizer::addListener(ProgressListener* listener) { listeners_.push_back(listener); }

bool OrnivelSynchronizer::synchronizeFolder(const std::wstring&, const std::wstring&) {
    log_.log(LOG_INFO, L"Synchronisation is not available in this build.");
    return true;
}

void OrnivelSynchronizer::progress(const int*, const wchar_t*, const int*, const int*, const int*, const int*) {}

} // namespace ornivel
