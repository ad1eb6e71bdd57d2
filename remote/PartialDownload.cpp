#include "remote/PartialDownload.h"

#include "common/WholeWrite.h"
#include "remote/HttpText.h"
#include "remote/RemoteSource.h"

namespace ornivel {

namespace {

// Attributes that would pin a partial file: it could not be written, replaced or removed.
constexpr DWORD kPinning = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

bool readResumeInfo(const std::wstring& path, std::string& validator) {
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char text[kMaxValidatorBytes + 2];
    DWORD read = 0;
    if (!::ReadFile(file.get(), text, sizeof text, &read, nullptr)) return false;
    return parseResumeInfo(std::string(text, read), validator);
}

bool writeResumeInfo(const std::wstring& path, const std::string& validator) {
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    const std::string text = resumeInfoText(validator);
    if (file && writeWhole(file.get(), text.data(), text.size())) return true;
    file.reset();
    ::DeleteFileW(path.c_str());
    return false;
}

} // namespace

PartialDownload::PartialDownload(const std::wstring& localPath)
    : localPath_(localPath),
      partial_(RemoteSource::partialPath(localPath)),
      resumeInfo_(RemoteSource::resumeInfoPath(localPath)) {}

void PartialDownload::prepare() {
    file_.reset();
    // What the previous try of this download wrote, proven by the validator it kept in memory.
    const uint64_t written = size_;
    const std::string remembered = std::move(validator_);
    offset_ = 0;
    size_ = 0;
    validator_.clear();
    validatorWritten_ = false;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(partial_.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return;
    }
    if ((data.dwFileAttributes & kPinning) != 0) {
        const DWORD rest = data.dwFileAttributes & ~kPinning;
        ::SetFileAttributesW(partial_.c_str(), rest != 0 ? rest : FILE_ATTRIBUTE_NORMAL);
    }
    size_ = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    std::string validator;
    if (size_ > 0 && readResumeInfo(resumeInfo_, validator)) {
        offset_ = size_;
        validator_ = std::move(validator);
        validatorWritten_ = true;
    } else if (size_ > 0 && size_ == written && !remembered.empty()) {
        offset_ = size_;
        validator_ = remembered;
    }
}

std::string PartialDownload::requestLines() const {
    return offset_ > 0 ? rangeRequestLines(offset_, validator_) : std::string();
}

bool PartialDownload::startOver(const std::string& validator) {
    file_.reset();
    offset_ = 0;  // a range answer that still follows (a refresh) no longer fits
    size_ = 0;
    validator_.clear();
    // The old validator goes first: whatever happens next, it never vouches for new bytes.
    ::DeleteFileW(resumeInfo_.c_str());
    file_.reset(::CreateFileW(partial_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
    if (!file_) return false;
    if (isUsableValidator(validator)) validator_ = validator;
    validatorWritten_ = false;
    return true;
}

bool PartialDownload::append() {
    file_.reset(::CreateFileW(partial_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
    if (!file_) return false;
    // The range continues the file where it ends; a file that changed since prepare() does not
    // take it.
    LARGE_INTEGER end;
    const LARGE_INTEGER none{};
    if (!::SetFilePointerEx(file_.get(), none, &end, FILE_END) || static_cast<uint64_t>(end.QuadPart) != offset_) {
        file_.reset();
        return false;
    }
    size_ = offset_;
    return true;
}

bool PartialDownload::write(const void* data, size_t length) {
    if (file_ && writeWhole(file_.get(), data, length)) {
        size_ += length;
        if (!validatorWritten_ && !validator_.empty() && size_ >= kResumeInfoAfterBytes)
            validatorWritten_ = writeResumeInfo(resumeInfo_, validator_);
        return true;
    }
    // A disk that refuses bytes (full, gone) keeps none: the file goes, and with it the space
    // it held.
    const DWORD error = ::GetLastError();
    discard();
    ::SetLastError(error);
    return false;
}

void PartialDownload::discard() {
    file_.reset();
    ::SetFileAttributesW(partial_.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoteSource::discardPartial(localPath_);
    offset_ = 0;
    size_ = 0;
    validator_.clear();
    validatorWritten_ = false;
}

void PartialDownload::keepForLater() {
    file_.reset();
    if (resumableSize() > 0 && (validatorWritten_ || writeResumeInfo(resumeInfo_, validator_))) {
        validatorWritten_ = true;
        return;
    }
    discard();
}

} // namespace ornivel
