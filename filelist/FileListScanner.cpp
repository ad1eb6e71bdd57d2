#include "filelist/FileListScanner.h"

#include <cctype>
#include <string>

#include "common/TextScan.h"

namespace ornivel {

namespace {

// Real lists nest two levels (the list and its entries); content inside entries is skipped
// but may not nest without end.
constexpr size_t kMaxOpenElements = 64;

bool isNameStart(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
}

// Whether every character reference ("&#" and decimal digits, or "&#x" and hexadecimal
// digits) in a text or value ends with its ";". The XML reader takes a reference to the next
// ";" wherever that is, markup and all.
bool characterReferencesEnd(std::string_view text) {
    for (size_t at = text.find("&#"); at != std::string_view::npos; at = text.find("&#", at + 2)) {
        size_t i = at + 2;
        const bool hex = i < text.size() && text[i] == 'x';
        if (hex) ++i;
        const size_t digits = i;
        while (i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) ||
                                   (hex && std::isxdigit(static_cast<unsigned char>(text[i])))))
            ++i;
        if (i == digits || i >= text.size() || text[i] != ';') return false;
    }
    return true;
}

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    FileListScan run() {
        if (text_.find('\0') != std::string_view::npos) return scan_;  // not a text document
        if (startsWith("\xEF\xBB\xBF")) {
            scan_.byteOrderMark = true;
            at_ = 3;
        }
        if (!prolog()) return scan_;
        if (at_ >= text_.size()) {
            scan_.result = FileListScan::NoListElement;
            return scan_;
        }
        if (!listElement() || !epilog()) return scan_;
        scan_.result = FileListScan::Complete;
        return scan_;
    }

private:
    bool startsWith(std::string_view prefix) const { return text_.substr(at_, prefix.size()) == prefix; }

    void skipSpace() {
        for (;;) {
            if (at_ < text_.size() && isXmlSpace(text_[at_])) {
                ++at_;
            } else if (scan_.byteOrderMark && startsWith("\xEF\xBB\xBF")) {
                at_ += 3;  // the reader of UTF-8 documents skips stray marks like white space
            } else {
                return;
            }
        }
    }

    // Moves past the next `end`; false when there is none.
    bool skipPast(std::string_view end, size_t from) {
        const size_t found = text_.find(end, at_ + from);
        if (found == std::string_view::npos) return false;
        at_ = found + end.size();
        return true;
    }

    // Comments and processing instructions, allowed anywhere outside tags. True when one was
    // found; `failed` when it does not end or cannot be read one way only.
    bool miscellaneous(bool& failed, bool prolog) {
        if (startsWith("<!--")) {
            failed = !skipPast("-->", 4);
            return true;
        }
        if (startsWith("<?")) {
            // A processing instruction names its target and holds no ">" before its "?>": the
            // XML reader ends one at its first ">", so any other would be read two ways. The
            // target "xml" is the declaration, in the prolog and in lower case only.
            const size_t start = at_;
            const size_t end = text_.find('>', at_ + 2);
            failed = end == std::string_view::npos || text_[end - 1] != '?' || !isNameStart(text_[at_ + 2]);
            if (failed) return true;
            at_ = end + 1;
            const std::string_view instruction = text_.substr(start, at_ - start);
            const bool xmlTarget = instruction.size() > 6 && lowerAscii(instruction.substr(2, 3)) == "xml" &&
                                   (isXmlSpace(instruction[5]) || instruction[5] == '?');
            if (xmlTarget && (!prolog || instruction.substr(2, 3) != "xml" || !scan_.declaration.empty())) {
                failed = true;
            } else if (xmlTarget) {
                scan_.declaration = instruction;
            }
            return true;
        }
        return false;
    }

    bool documentType() {
        at_ += 9;  // "<!DOCTYPE"
        bool inSubset = false;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '"' || c == '\'') {
                const size_t close = text_.find(c, at_ + 1);
                if (close == std::string_view::npos) return false;
                at_ = close + 1;
            } else if (inSubset && startsWith("<!--")) {
                if (!skipPast("-->", 4)) return false;
            } else if (c == '[') {
                inSubset = true;
                ++at_;
            } else if (c == ']') {
                inSubset = false;
                ++at_;
            } else if (c == '>' && !inSubset) {
                ++at_;
                return true;
            } else {
                ++at_;
            }
        }
        return false;
    }

    bool prolog() {
        for (;;) {
            skipSpace();
            if (at_ >= text_.size()) return true;
            if (text_[at_] != '<') return false;
            bool failed = false;
            if (miscellaneous(failed, true)) {
                if (failed) return false;
                continue;
            }
            if (startsWith("<!DOCTYPE")) {
                if (!documentType()) return false;
                continue;
            }
            return at_ + 1 < text_.size() && isNameStart(text_[at_ + 1]);
        }
    }

    // At "<" and a name: the whole start tag, quoted values skipped. False when it does not
    // end or holds another "<" (which no well-formed tag does).
    bool startTag(std::string_view& tag, std::string_view& name, bool& empty) {
        const size_t start = at_;
        size_t i = at_ + 1;
        while (i < text_.size() && !isXmlSpace(text_[i]) && text_[i] != '/' && text_[i] != '>' && text_[i] != '<') ++i;
        name = text_.substr(start + 1, i - start - 1);
        while (i < text_.size()) {
            const char c = text_[i];
            if (c == '"' || c == '\'') {
                const size_t close = text_.find(c, i + 1);
                if (close == std::string_view::npos) return false;
                const std::string_view value = text_.substr(i + 1, close - i - 1);
                if (value.find('<') != std::string_view::npos || !characterReferencesEnd(value)) return false;
                i = close + 1;
            } else if (c == '<') {
                return false;
            } else if (c == '>') {
                empty = text_[i - 1] == '/';
                at_ = i + 1;
                tag = text_.substr(start, at_ - start);
                return true;
            } else {
                ++i;
            }
        }
        return false;
    }

    bool endTag(std::string_view expected) {
        const size_t close = text_.find('>', at_ + 2);
        if (close == std::string_view::npos) return false;
        std::string_view name = text_.substr(at_ + 2, close - at_ - 2);
        while (!name.empty() && isXmlSpace(name.back())) name.remove_suffix(1);
        at_ = close + 1;
        return name == expected;
    }

    bool listElement() {
        std::string_view tag, name;
        bool empty = false;
        if (!startTag(tag, name, empty)) return false;
        scan_.listElement = tag;
        if (empty) return true;
        std::vector<std::string_view> open{name};  // names of the open elements, the list element first
        while (!open.empty()) {
            const size_t next = text_.find('<', at_);
            if (next == std::string_view::npos || !characterReferencesEnd(text_.substr(at_, next - at_))) return false;
            at_ = next;
            bool failed = false;
            if (miscellaneous(failed, false)) {
                if (failed) return false;
            } else if (startsWith("<![CDATA[")) {
                if (!skipPast("]]>", 9)) return false;
            } else if (startsWith("</")) {
                if (!endTag(open.back())) return false;
                open.pop_back();
            } else if (at_ + 1 < text_.size() && isNameStart(text_[at_ + 1])) {
                if (!startTag(tag, name, empty)) return false;
                if (open.size() == 1) scan_.entries.push_back(tag);
                if (!empty) {
                    if (open.size() >= kMaxOpenElements) return false;
                    open.push_back(name);
                }
            } else {
                return false;
            }
        }
        return true;
    }

    bool epilog() {
        for (;;) {
            skipSpace();
            if (at_ >= text_.size()) return true;
            bool failed = false;
            if (!miscellaneous(failed, false) || failed) return false;
        }
    }

    std::string_view text_;
    size_t at_ = 0;
    FileListScan scan_;
};

} // namespace

FileListScan scanFileList(std::string_view text) { return Scanner(text).run(); }

} // namespace ornivel
