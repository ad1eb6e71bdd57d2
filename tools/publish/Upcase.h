#pragma once
// Upper case of UTF-16 units as Windows compares file names: NTFS orders the names of a
// folder by their upper-cased units and takes names that differ only in case as one. Its
// table maps a unit only where the upper-case letter maps back to it (so "ſ" and "ı" stay
// themselves). Each platform gives the table its own way.
#include <string>

namespace ornivel::publish {

// Readies the table; false with the reason when the system cannot give it.
bool prepareUpcase(std::string& problem);

// One unit, upper-cased (prepareUpcase first).
wchar_t upcaseUnit(wchar_t unit);

// Every unit of a text, upper-cased.
std::wstring upcased(std::wstring units);

// Orders two names as NTFS keeps them: by upper-cased units, then by the units themselves.
bool ntfsLess(const std::wstring& a, const std::wstring& b);

} // namespace ornivel::publish
