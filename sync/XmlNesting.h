#pragma once
// The XML reader descends recursively, one level per nested element, so a document nested
// deeply enough would exhaust the stack. This finds how much of a document stays within a
// nesting limit, following the reader's own rules for tags, quoted values, comments,
// CDATA sections, declarations and other markup.
#include <cstddef>
#include <string>

namespace ornivel {

// The length of the longest prefix of `text` (up to its first zero byte) in which no element
// opens deeper than `maxDepth`; the text's whole length when none does. Where the reader
// would stop at an error anyway, scanning stops too.
size_t xmlPrefixWithinDepth(const std::string& text, size_t maxDepth);

} // namespace ornivel
