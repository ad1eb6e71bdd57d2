#include "filelist/FileList.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "common/FileTimes.h"
#include "common/Handles.h"
#include "common/Text.h"
#include "common/WholeWrite.h"
#include "filelist/FileListReader.h"
#include "filelist/FileListValues.h"

namespace ornivel {

namespace {

bool readWholeFile(const std::wstring& path, std::string& bytes) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && readWhole(file.get(), bytes);
}

// Local file time is UTC shifted by the bias in force now (not the one of the listed date),
// so one conversion gives the shift for a whole list.
class LocalTimeShift {
public:
    LocalTimeShift() {
        FILETIME utc{0, 0x01000000}, local;
        if (FileTimeToLocalFileTime(&utc, &local)) shift_ = ticks(local) - ticks(utc);
    }
    bool toLocal(const FILETIME& utc, uint64_t& local) const {
        long long value = ticks(utc) + shift_;
        if (value < 0) return false;
        local = static_cast<uint64_t>(value);
        return true;
    }

private:
    static long long ticks(const FILETIME& t) { return static_cast<long long>(ticksOfFileTime(t)); }
    long long shift_ = 0;
};

// The listed time, taken as UTC, as local file time. An unreadable or impossible time gives
// the zero file time, which no existing file has: such an entry without checksum always
// counts as changed.
uint64_t localFileTime(const char* text, const LocalTimeShift& shift) {
    uint64_t local = 0;
    ListTime time;
    if (!parseListTime(text, time)) return local;
    SYSTEMTIME system{};
    system.wYear = time.year;
    system.wMonth = time.month;
    system.wDay = time.day;
    system.wHour = time.hour;
    system.wMinute = time.minute;
    system.wSecond = time.second;
    FILETIME utc;
    if (!SystemTimeToFileTime(&system, &utc) || !shift.toLocal(utc, local)) return 0;
    return local;
}

void readList(std::string& text, FileList& list, FileList::State& state, ListElementText& element) {
    const LocalTimeShift shift;
    const bool whole = readFileListText(text, element, [&list, &shift](const ListEntryText& entry) {
        bool ansiPath = false;
        FileListFile file(fromUtf8OrAnsi(entry.path, &ansiPath), fromAnsi(entry.checksum), entry.size,
                          localFileTime(entry.time.c_str(), shift), entry.sha256);
        file.ansiPath = ansiPath;
        file.patches = entry.patches;
        list.insert(std::move(file));
    });
    if (!whole) state = FileList::State::Damaged;  // not a list at all, or not one read whole
}

} // namespace

FileList FileList::load(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return FileList();
    std::string text;
    bool read = false;
    try {
        read = readWholeFile(path, text);
    } catch (const std::bad_alloc&) {
        FileList list;
        list.state_ = State::OutOfMemory;
        return list;
    }
    if (!read) {
        FileList list;
        list.state_ = State::Damaged;
        return list;
    }
    return fromText(std::move(text));
}

FileList FileList::fromText(std::string text) {
    FileList list;
    try {
        ListElementText element;
        readList(text, list, list.state_, element);
        list.serial_ = element.serial;
        list.reportRequested_ = element.report;
        list.expires_ = element.expires;
        if (element.servers) list.servers_ = fromAnsi(*element.servers);
    } catch (const std::bad_alloc&) {
        list = FileList();
        list.state_ = State::OutOfMemory;
    }
    return list;
}

bool FileList::contains(const std::wstring& relativePath) const {
    return entries_.find(lowerAscii(relativePath)) != entries_.end();
}

const FileListFile* FileList::find(const std::wstring& relativePath) const {
    const auto it = entries_.find(lowerAscii(relativePath));
    return it == entries_.end() ? nullptr : &it->second;
}

std::vector<FileListFile> FileList::files() const {
    std::vector<FileListFile> result;
    result.reserve(entries_.size());
    for (const auto& entry : entries_) result.push_back(entry.second);
    return result;
}

void FileList::insert(FileListFile file) {
    CheckedPath checked = checkRelativePath(file.path);
    if (!checked.ok()) {
        refused_.push_back({std::move(file.path), checked.fault});
        return;
    }
    file.path = std::move(checked.path);
    std::wstring key = lowerAscii(file.path);
    entries_[std::move(key)] = std::move(file);
}

} // namespace ornivel
