#pragma once
// The partial file of one download ("<file>.ornivel-download") and its resume information
// ("<file>.ornivel-resume", the validator of the answer that began it). What it holds is
// continued with a range request as long as the server proves, by that validator, that the
// file is still the same; it starts over otherwise.
#include <windows.h>

#include <cstdint>
#include <string>

#include "common/Handles.h"

namespace ornivel {

class PartialDownload {
public:
    // `localPath` is the file the download is for; the partial file lies beside it.
    explicit PartialDownload(const std::wstring& localPath);
    ~PartialDownload() = default;
    PartialDownload(const PartialDownload&) = delete;
    PartialDownload& operator=(const PartialDownload&) = delete;

    // Before each request: looks at what an earlier try or start left. The offset to continue
    // from is the partial file's size when its resume information is readable, else 0 (the
    // next answer starts it over). A partial file is never left read-only, hidden or system.
    void prepare();
    uint64_t offset() const { return offset_; }
    const std::string& validator() const { return validator_; }
    // The extra request lines of the next try: a range request from offset(), or nothing.
    std::string requestLines() const;

    // The resume information is written once the partial file holds this many bytes, and for
    // a smaller one only when its download breaks off (keepForLater): under Wine, removing it
    // after every small file costs more than fetching the file. Until then it is kept in
    // memory, so that the tries of one download continue each other all the same.
    static constexpr uint64_t kResumeInfoAfterBytes = 1024 * 1024;

    // An answer's body goes into the partial file: startOver (a whole file; `validator` is
    // the answer's, empty when it has none, and then the file cannot be continued later) or
    // append (a range continuing at offset(), where the file ends). False when the file cannot
    // be opened, or no longer ends there.
    bool startOver(const std::string& validator);
    bool append();
    // Writes received bytes at the end; false when they could not all be written, and then
    // the partial file and its resume information are gone (the thread's last error kept).
    bool write(const void* data, size_t length);
    // Closes the file; what it holds stays.
    void close() { file_.reset(); }

    // Bytes the partial file holds as far as this download wrote or found them.
    uint64_t size() const { return size_; }
    // Bytes that a later try or start can continue (0 when nothing can be continued).
    uint64_t resumableSize() const { return validator_.empty() ? 0 : size_; }
    // Removes the partial file and its resume information.
    void discard();
    // What a download that broke off leaves for a later start: the partial file with its
    // resume information, or nothing when it cannot be continued.
    void keepForLater();

    const std::wstring& path() const { return partial_; }

private:
    std::wstring localPath_;
    std::wstring partial_;
    std::wstring resumeInfo_;
    UniqueHandle file_;
    uint64_t offset_ = 0;
    uint64_t size_ = 0;
    std::string validator_;
    bool validatorWritten_ = false;  // the resume information holds validator_
};

} // namespace ornivel
