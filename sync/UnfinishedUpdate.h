#pragma once
// What an installation remembers of an update that has not finished: it is unfinished from
// the moment a run starts changing files until the new list has replaced the local one (and,
// when the launcher replaced itself, until the new launcher has run). While the note stands, a
// version check answering "OK" does not end the run. The note also counts the restarts that
// tried to put a new launcher in place, so that a launcher held by another process cannot
// make every start restart again and again. Plain text logic, no system calls.
#include <cstdint>
#include <string>

namespace ornivel {

struct UnfinishedUpdate {
    int restarts = 0;          // restarts for a new launcher since the update began
    uint64_t lastRestart = 0;  // seconds since 1970 (UTC) of the last one
};

// The note's file in the installation folder.
constexpr const wchar_t* kUnfinishedUpdateFile = L"TarnFileList.unfinished";
// The version check is asked with this in place of the client checksum when an unfinished
// update has no saved answer: it matches no installation, so the answer is the server list.
constexpr const wchar_t* kUnmatchableChecksum = L"unfinished";

// "restarts N T" (a note without restarts is an empty text).
std::string formatUnfinishedUpdate(const UnfinishedUpdate& update);
// Reads the text of a note; anything unreadable counts as no restart.
UnfinishedUpdate parseUnfinishedUpdate(const std::string& text);

// Restarts in a row after which a start no longer restarts for its new launcher, unless the
// last one lies kRestartPauseSeconds back.
constexpr int kMaxRestarts = 3;
constexpr uint64_t kRestartPauseSeconds = 600;
bool restartAllowed(const UnfinishedUpdate& update, uint64_t now);

} // namespace ornivel
