#include "filelist/FileListReader.h"

#include <string_view>

#include "common/TextScan.h"
#include "filelist/FileListScanner.h"
#include "filelist/FileListValues.h"
#include "common/Utf16.h"
#include "tinyxml.h"

namespace ornivel {

namespace {

void normaliseLineEnds(std::string& text) {
    size_t out = 0;
    for (size_t in = 0; in < text.size(); ++in) {
        if (text[in] == '\r') {
            text[out++] = '\n';
            if (in + 1 < text.size() && text[in + 1] == '\n') ++in;
        } else {
            text[out++] = text[in];
        }
    }
    text.resize(out);
}

// How the XML reader would read the values of this document: UTF-8 after a byte-order mark or
// a declaration naming UTF-8 (or no encoding), the legacy 8-bit reading for other declared
// encodings, undecided without either.
TiXmlEncoding documentEncoding(const FileListScan& scan) {
    if (scan.byteOrderMark) return TIXML_ENCODING_UTF8;
    if (scan.declaration.empty()) return TIXML_ENCODING_UNKNOWN;
    TiXmlDocument declaration;
    std::string text(scan.declaration);
    text.append(4, '\0');
    declaration.Parse(text.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
    const TiXmlNode* node = declaration.FirstChild();
    const TiXmlDeclaration* parsed = node ? node->ToDeclaration() : nullptr;
    const std::string encoding = parsed && parsed->Encoding() ? parsed->Encoding() : "";
    const std::string lower = lowerAscii(encoding);
    return lower.empty() || lower == "utf-8" || lower == "utf8" ? TIXML_ENCODING_UTF8 : TIXML_ENCODING_LEGACY;
}

std::string attributeText(const TiXmlElement& element, const char* name) {
    const char* value = element.Attribute(name);
    return value ? value : "";
}

// Reads a start tag alone (made an empty element), so the reader never nests. The zero bytes
// after the text keep the reader's multi-byte steps inside the buffer. Null when unreadable.
const TiXmlElement* readTag(std::string_view tag, TiXmlEncoding encoding, TiXmlDocument& document,
                            std::string& text) {
    text.assign(tag);
    if (text.size() < 2 || text[text.size() - 2] != '/') text.insert(text.size() - 1, 1, '/');
    text.append(4, '\0');
    document.Clear();
    document.Parse(text.c_str(), nullptr, encoding);
    return document.Error() ? nullptr : document.RootElement();
}

// One entry. In UTF-8 the reader steps over a character by its lead byte alone: a tag that is
// not UTF-8 would be read with a quotation mark or ">" taken for part of a character.
bool readEntry(std::string_view tag, TiXmlEncoding encoding, TiXmlDocument& document, std::string& text,
               std::wstring& units, ListEntryText& entry) {
    if (encoding == TIXML_ENCODING_UTF8 && !utf16OfUtf8(tag, units)) return false;
    const TiXmlElement* element = readTag(tag, encoding, document, text);
    if (!element) return false;
    entry.path = attributeText(*element, "Path");
    const char* time = element->Attribute("TimestampGMT");
    if (!time) time = element->Attribute("Timestamp");
    entry.time = time ? time : "";
    entry.checksum = attributeText(*element, "checksum");
    entry.sha256 = attributeText(*element, "sha256");
    entry.patches = attributeText(*element, "patches");
    if (!parseListSize(element->Attribute("Size"), entry.size)) entry.size = kUnknownListSize;
    return true;
}

} // namespace

namespace {

void readListTag(const FileListScan& scan, TiXmlEncoding encoding, TiXmlDocument& document, std::string& tagText,
                 ListElementText& list) {
    const TiXmlElement* element = readTag(scan.listElement, encoding, document, tagText);
    if (!element) return;
    uint64_t number = 0;
    if (parseListSerial(element->Attribute("Serial"), number)) list.serial = number;
    if (parseListSerial(element->Attribute("Expires"), number)) list.expires = number;
    if (const char* servers = element->Attribute("Servers")) list.servers = servers;
    const char* report = element->Attribute("Report");
    list.report = report && std::string_view(report) == "1";
}

} // namespace

bool readFileListText(std::string& text, ListElementText& list,
                      const std::function<void(const ListEntryText&)>& onEntry) {
    list.report = false;
    normaliseLineEnds(text);
    const FileListScan scan = scanFileList(text);
    if (scan.result != FileListScan::Complete) return false;  // not a list at all, or not one read whole
    const TiXmlEncoding encoding = documentEncoding(scan);
    TiXmlDocument document;
    std::string tagText;
    std::wstring units;
    readListTag(scan, encoding, document, tagText, list);
    ListEntryText entry;
    for (std::string_view tag : scan.entries) {
        if (!readEntry(tag, encoding, document, tagText, units, entry)) return false;
        onEntry(entry);
    }
    return true;
}

bool readListElementText(std::string& text, ListElementText& list) {
    list.report = false;
    normaliseLineEnds(text);
    const FileListScan scan = scanFileList(text);
    if (scan.result != FileListScan::Complete) return false;
    TiXmlDocument document;
    std::string tagText;
    readListTag(scan, documentEncoding(scan), document, tagText, list);
    return true;
}

bool readFileListText(std::string& text, std::optional<uint64_t>& serial,
                      const std::function<void(const ListEntryText&)>& onEntry) {
    ListElementText list;
    list.serial = serial;
    const bool whole = readFileListText(text, list, onEntry);
    serial = list.serial;
    return whole;
}

} // namespace ornivel
