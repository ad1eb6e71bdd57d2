#pragma once
// One synchronisation run: version check, file list, deletions and downloads, self-update.
#include <string>
#include <vector>

#include "logdriver/LogDriver.h"
#include "remote/ProgressListener.h"

namespace ornivel {

class OrnivelSynchronizer : public ProgressListener {
public:
    OrnivelSynchronizer(bool fieldService, const std::wstring& folder, const LogDriver& log, bool debug);
    ~OrnivelSynchronizer() override;

    void addListener(ProgressListener* listener);
    // True: go on and start the client. False: do not (failure reported, version check not
    // possible, or a restart through the script).
    bool synchronizeFolder(const std::wstring& deploymentKey, const std::wstring& restartArguments);

    void progress(const int* phase, const wchar_t* text, const int* current, const int* total, const int* percent,
                  const int* extra) override;

private:
    bool fieldService_;
    std::wstring folder_;
    LogDriver log_;
    bool debug_;
    std::vector<ProgressListener*> listeners_;
};

} // namespace ornivel
