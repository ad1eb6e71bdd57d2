#pragma once
// The progress line of long runs and the closing summary. Plain text logic.
#include <cstdint>
#include <string>

#include "Publisher.h"

namespace ornivel::publish {

// "hashing 12 of 340 files, 0.15 of 2.00 GiB".
std::string progressLine(size_t filesDone, size_t files, uint64_t bytesDone, uint64_t bytes);

// What was published and where clients and web servers find it.
std::string summaryText(const PublishSummary& summary, const std::string& urlPath);

} // namespace ornivel::publish
