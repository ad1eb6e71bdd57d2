// The whole reading of a file list: the scan with its nesting guard, TinyXML on each entry's
// start tag, the entry values, the real names and the path check. Every entry is read from a
// start tag that holds exactly one "<", a list read whole has as many entries as the scan
// found, an accepted path stays inside the installation, the list element's serial, expiry and
// servers come from attributes it has, and where TinyXML can read the same document as a whole
// it finds the same values, the list element's included.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "common/RelativePath.h"
#include "filelist/FileListReader.h"
#include "filelist/FileListScanner.h"
#include "filelist/FileListValues.h"
#include "common/Utf16.h"
#include "tinyxml.h"

using namespace ornivel;
using namespace ornivel::fuzz;

namespace {

// The reading of the whole document by TinyXML itself, for documents small and flat enough
// that its recursion is harmless: the attribute texts of the root's child elements.
bool readWhole(const std::string& text, ListElementText& list, std::vector<ListEntryText>& entries) {
    TiXmlDocument document;
    std::string copy = text;
    copy.append(4, '\0');
    document.Parse(copy.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
    const TiXmlElement* root = document.RootElement();
    if (document.Error() || !root || document.FirstChild() != root) return false;
    uint64_t number = 0;
    if (parseListSerial(root->Attribute("Serial"), number)) list.serial = number;
    if (parseListSerial(root->Attribute("Expires"), number)) list.expires = number;
    if (const char* servers = root->Attribute("Servers")) list.servers = servers;
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        ListEntryText entry;
        auto text = [e](const char* name) {
            const char* value = e->Attribute(name);
            return std::string(value ? value : "");
        };
        entry.path = text("Path");
        entry.time = e->Attribute("TimestampGMT") ? text("TimestampGMT") : text("Timestamp");
        entry.checksum = text("checksum");
        entry.sha256 = text("sha256");
        if (!parseListSize(e->Attribute("Size"), entry.size)) entry.size = kUnknownListSize;
        entries.push_back(entry);
    }
    return true;
}

void checkEntry(const ListEntryText& entry) {
    std::wstring name;
    if (!utf16OfUtf8(entry.path, name)) name = widenBytes(entry.path);  // as the system reads names
    const CheckedPath checked = checkRelativePath(name);
    if (checked.ok()) {
        FUZZ_CHECK(checked.path.find(L'/') == std::wstring::npos && checked.path.find(L':') == std::wstring::npos);
        FUZZ_CHECK(checked.path[0] != L'\\' && checkRelativePath(checked.path).path == checked.path);
        for (size_t at = 0; at != std::wstring::npos;) {
            const size_t end = checked.path.find(L'\\', at);
            const std::wstring part = checked.path.substr(at, end == std::wstring::npos ? end : end - at);
            FUZZ_CHECK(part.find_first_not_of(L". ") != std::wstring::npos && !isReservedDeviceName(part));
            at = end == std::wstring::npos ? end : end + 1;
        }
    }
    ListTime time;
    if (parseListTime(entry.time.c_str(), time)) FUZZ_CHECK(!entry.time.empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(bytesOf(data, size));
    std::vector<ListEntryText> entries;
    ListElementText list;
    const bool whole =
        readFileListText(text, list, [&entries](const ListEntryText& entry) { entries.push_back(entry); });
    // `text` now has "\n" line ends, as the reader saw it.
    const FileListScan scan = scanFileList(text);
    if (list.report) FUZZ_CHECK(scan.listElement.find("Report") != std::string_view::npos);
    if (list.serial) FUZZ_CHECK(scan.listElement.find("Serial") != std::string_view::npos);
    if (list.expires) FUZZ_CHECK(scan.listElement.find("Expires") != std::string_view::npos);
    if (list.servers) FUZZ_CHECK(scan.listElement.find("Servers") != std::string_view::npos);
    // The element alone reads as it does with the entries.
    ListElementText alone;
    std::string again = text;
    FUZZ_CHECK(readListElementText(again, alone) == (scan.result == FileListScan::Complete));
    if (scan.result == FileListScan::Complete)
        FUZZ_CHECK(alone.serial == list.serial && alone.expires == list.expires && alone.servers == list.servers &&
                   alone.report == list.report);
    for (std::string_view tag : scan.entries) {
        FUZZ_CHECK(tag.size() >= 2 && tag.front() == '<' && tag.back() == '>');
        FUZZ_CHECK(tag.find('<', 1) == std::string_view::npos);
    }
    FUZZ_CHECK(entries.size() <= scan.entries.size());
    if (whole) FUZZ_CHECK(scan.result == FileListScan::Complete && entries.size() == scan.entries.size());
    if (scan.result != FileListScan::Complete) FUZZ_CHECK(!whole && entries.empty());
    for (const ListEntryText& entry : entries) checkEntry(entry);

    std::vector<ListEntryText> reference;
    ListElementText referenceList;
    // Compared for plain documents only (elements and text): TinyXML reads declarations,
    // instructions and the like its own way, which the scan refuses where it would differ; and
    // it reads a document with a byte-order mark as UTF-8 throughout, the list its tags only.
    std::wstring units;
    const bool plain = text.find("<?") == std::string::npos && text.find("<!") == std::string::npos &&
                       (text.compare(0, 3, "\xEF\xBB\xBF") != 0 || utf16OfUtf8(text, units));
    if (whole && plain && text.size() < 4096 && std::count(text.begin(), text.end(), '<') < 64 &&
        readWhole(text, referenceList, reference)) {
        FUZZ_CHECK(reference.size() == entries.size());
        FUZZ_CHECK(referenceList.serial == list.serial && referenceList.expires == list.expires &&
                   referenceList.servers == list.servers);
        for (size_t i = 0; i < entries.size(); ++i) {
            FUZZ_CHECK(reference[i].path == entries[i].path && reference[i].time == entries[i].time);
            FUZZ_CHECK(reference[i].checksum == entries[i].checksum && reference[i].size == entries[i].size);
            FUZZ_CHECK(reference[i].sha256 == entries[i].sha256);
        }
    }
    return 0;
}
