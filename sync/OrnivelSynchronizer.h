#pragma once
// One synchronisation run: version check, file list, deletions and downloads, Ghostscript
// unpacking and self-update.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "logdriver/LogDriver.h"
#include "remote/ProgressListener.h"
#include "remote/ProgressMerger.h"
#include "sync/UpdateResult.h"

namespace ornivel {

class DeploymentServerInfo;
class FileList;
class FileListFile;
class FolderListing;
class RemoteSource;

// The most files that travel at once from one server.
constexpr uint32_t kMaxParallelTransfers = 4;

// The step a failed run reports in its final message.
enum FailureStep : int {
    FAILURE_LOCAL_CONFIGURATION = 0,
    FAILURE_CLIENT_CHECKSUM = 2,
    FAILURE_FILE_LIST = 3,
    FAILURE_DELETING = 4,
    FAILURE_DOWNLOADING = 5,
};

// The reason line of a failure step.
const wchar_t* failureReason(int step);
// The final message of a failed run.
std::wstring failureMessage(int step);

class OrnivelSynchronizer : public ProgressListener {
public:
    // `folder` is the installation folder (the current folder when empty).
    OrnivelSynchronizer(bool fieldService, const std::wstring& folder, const LogDriver& log, bool debug);
    ~OrnivelSynchronizer() override;
    OrnivelSynchronizer(const OrnivelSynchronizer&) = delete;
    OrnivelSynchronizer& operator=(const OrnivelSynchronizer&) = delete;

    // The listener is not owned; it receives the complete progress state on every change.
    void addListener(ProgressListener* listener);

    // `deploymentKey`: registry path of the saved version-check answer (under the current
    // user). `restartArguments`: handed to the launcher when the restart script starts it.
    // True: go on and start the client. False: do not (a failure that has been reported, a
    // version check that could not be made, or a restart through the script).
    bool synchronizeFolder(const std::wstring& deploymentKey, const std::wstring& restartArguments);

    // Merges a partial report into the progress state and forwards a changed state.
    void progress(const int* phase, const wchar_t* text, const int* current, const int* total, const int* percent,
                  const int* extra) override;

    // Removes the files below `subfolder` ("" or ending in "\") that the server list no
    // longer names: in the managed folders every unlisted file, elsewhere only files that
    // the previous (local) list named. Folders with a dot in their name are not entered.
    // False when a file could not be deleted.
    bool deleteUnusedFiles(const std::wstring& subfolder, const FileList& serverList, const FileList& localList);

    // Fetches every listed file that is missing or differs and gives it the listed
    // last-write time. The running executable arrives as ".tmp" (restartPending); the
    // Ghostscript archive sets ghostscriptLoaded. False when a download, a checksum check
    // after the download, or the setting of a timestamp failed, or when the list refused a
    // path (then nothing is downloaded). With `patchSource` (the same server through a source
    // of its own, so that a patch it cannot fetch leaves `source` untouched), a file whose
    // installed version the entry's "patches" names is rebuilt from a patch first, and fetched
    // whole when that fails.
    //
    // With `moreSources`, a server's files travel several at once (setParallelTransfers), each
    // transfer through a source of its own; the new launcher and the Ghostscript archive
    // still travel alone, in their place in the list. The progress then names the first file
    // of the list still under way (current) and the bytes of the whole pass (percent).
    using SourceMaker = std::function<std::unique_ptr<RemoteSource>(bool forPatches)>;
    bool downloadChangedFiles(FileList serverList, RemoteSource& source, RemoteSource* patchSource = nullptr,
                              const SourceMaker& moreSources = nullptr);
    // How many files travel at once from one server (1 to kMaxParallelTransfers). Unset: the
    // administrators' policy, else kMaxParallelTransfers.
    void setParallelTransfers(uint32_t count) { parallelTransfers_ = count; }

    // Unpacks "system\gs.rar" into "system\gs" (progress phase 6). The result does not fail
    // the run.
    bool unpackGhostscript();
    // Writes and starts the restart script.
    void restart(const std::wstring& restartArguments);

    // `folder` followed by `name`.
    std::wstring localPath(const std::wstring& name);
    static std::wstring modulePath();
    static std::wstring withExtension(const std::wstring& path, const std::wstring& extension);

    // A start whose version check cannot be made, or whose servers all fail to deliver the
    // list, goes on with the installation as it is when the last complete update is at most
    // this many days old and no update is unfinished (the administrators' policy; none: never).
    void setOfflineStartDays(std::optional<uint32_t> days) { offlineStartDays_ = days; }

    // The outcome of the last synchronizeFolder.
    UpdateResult result() const { return result_; }
    // It with what the run fetched and the seconds since construction (taken right after the
    // run).
    RunOutcome outcome() const;

    bool restartPending() const { return restartPending_; }
    bool ghostscriptLoaded() const { return ghostscriptLoaded_; }
    const ProgressMerger& progressState() const { return progress_; }

private:
    // Step of a run after a server delivered its file list; updates `success` and `step`.
    void updateFromServer(RemoteSource& source, const std::string& answer, const std::wstring& deploymentKey,
                          const std::wstring& restartArguments, bool& success, int& step);
    // Asks the version-check service with the installation's client checksum (or, when given,
    // with `checksum` in its place); false when the request could not be made.
    bool checkVersion(const std::string& url, std::string& answer, const std::wstring& checksum = std::wstring());
    // The answer that finishes an unfinished update after the version check answered "OK":
    // the saved answer, or the server list asked for with a checksum that matches nothing.
    // False when the version check could not be made.
    bool answerForUnfinishedUpdate(const std::string& url, const std::wstring& deploymentKey, std::string& answer);

    // How a downloaded file came out of its check.
    enum class Arrival { Taken, Mismatch, Failed };
    // Checks the whole partial file of `target` against its list entry, gives it the listed
    // time and its real name, all through one handle that no other writer can share. A file
    // that does not match, or cannot be taken, is removed (logged).
    Arrival takeDownloaded(const std::wstring& target, const FileListFile& entry, const FILETIME& now,
                           std::vector<unsigned char>& block);
    // Fetches the patch from the installed version `base` (SHA-256) of `target` to the listed
    // one and rebuilds the new file into the partial file of `target`; false (logged at info)
    // when that fails, and nothing of it stays. `patchBytes`: the patch's size.
    bool rebuildFromPatch(const FileListFile& entry, const std::string& base, const std::wstring& target,
                          RemoteSource& patchSource, uint64_t& patchBytes, ProgressListener* listener);

    // One file of the download pass: where it goes, and the installed version a patch can
    // start from (empty: none).
    struct Transfer {
        const FileListFile* file;
        std::wstring target;
        bool isSelf;
        int number;  // its place in the download list, from 1
        bool isGhostscript = false;  // the Ghostscript archive, unpacked after the pass
        std::string patchBase;
        bool taken = false;
        uint64_t patchBytes = 0;
        bool continued = false;  // a partial file of it waits from an earlier run
        // The new launcher and the Ghostscript archive travel alone, in their place in the
        // list: the restart and the unpacking follow from them.
        bool travelsAlone() const { return isSelf || isGhostscript; }
    };
    // Where `file` goes; false when it is not fetched (write protected, or a new launcher
    // that arrived in an earlier run). `listing`: what the folders held before the pass.
    // `module`: the running launcher, with its attributes when known.
    bool prepareTransfer(const FileListFile& file, Transfer& transfer, std::vector<unsigned char>& block,
                         FolderListing& listing, const std::wstring& module,
                         const WIN32_FILE_ATTRIBUTE_DATA* moduleData);
    // Brings one file into place: a partial file that is whole already, a patch, the whole
    // file. Taken when it stands under its name.
    Arrival transferFile(Transfer& transfer, RemoteSource& source, RemoteSource* patchSource,
                         ProgressListener* listener, const FILETIME& now, std::vector<unsigned char>& block);
    void noteArrival(const Transfer& transfer);
    // The download pass on up to `workers` transfers at once.
    bool downloadInParallel(std::vector<Transfer>& transfers, RemoteSource& source, RemoteSource* patchSource,
                            const SourceMaker& moreSources, size_t workers, const FILETIME& now);
    size_t transfersAtOnce() const;

    // The note of an unfinished update (UnfinishedUpdate.h) in the installation folder.
    bool updateUnfinished();
    void noteUnfinishedUpdate(bool restarting);
    // Whether a restart for the new launcher may be made now (counted in the note).
    bool restartAllowedNow();

    // False (logged) when the server's list cannot be used: not read whole, not a list, no
    // entries, or an entry whose path cannot name a file inside the installation folder.
    bool serverListUsable(const FileList& list, const std::wstring& listPath);
    void copyToParentFolder();
    // In a signed installation whose accepted list names the deployment servers, the servers of
    // a version-check answer that it names (the others logged); otherwise all of them. Sets
    // refusedAllServers_ when servers were named and none is left.
    std::vector<DeploymentServerInfo> trustedOnly(std::vector<DeploymentServerInfo> servers);
    // Whether the start goes on offline (logged, progress text set): see setOfflineStartDays.
    bool startOffline();

    void reportPhase(int phase);
    void reportText(const std::wstring& text);

    std::wstring folder_;
    LogDriver log_;
    bool restartPending_ = false;
    bool ghostscriptLoaded_ = false;
    bool fieldService_;
    bool debug_;
    ProgressMerger progress_;
    std::optional<uint32_t> offlineStartDays_;
    UpdateResult result_ = RESULT_CURRENT;
    bool refusedAllServers_ = false;
    uint64_t filesFetched_ = 0;
    uint64_t bytesFetched_ = 0;
    std::optional<uint32_t> parallelTransfers_;
    const DeploymentServerInfo* server_ = nullptr;  // the server whose list is being applied
    uint32_t constructedAt_;  // milliseconds of the system's tick count
};

} // namespace ornivel
