#include "sync/XmlNesting.h"

#include <cctype>
#include <cstring>

namespace ornivel {

namespace {

// The reader's notion of white space, letters and name characters (bytes of 127 and more
// count as letters).
bool isSpace(unsigned char c) { return std::isspace(c) || c == '\n' || c == '\r'; }
bool isAlpha(unsigned char c) { return c >= 127 || std::isalpha(c); }
bool isNameChar(unsigned char c) { return c >= 127 || std::isalnum(c) || c == '_' || c == '-' || c == '.' || c == ':'; }

class Scanner {
public:
    Scanner(const char* text, size_t maxDepth) : p_(text), start_(text), maxDepth_(maxDepth) {}

    size_t run() {
        for (;;) {
            while (*p_ && *p_ != '<') ++p_;
            if (!*p_) return length();
            if (startsWith("<!--")) {
                if (!skipPast("-->", 4)) return length();
            } else if (startsWith("<![CDATA[")) {
                if (!skipPast("]]>", 9)) return length();
            } else if (startsWithNoCase("<?xml")) {
                if (!skipDeclaration()) return length();
            } else if (p_[1] == '/') {
                if (depth_ > 0) --depth_;
                if (!skipPast(">", 2)) return length();
            } else if (p_[1] == '!' || !(isAlpha(static_cast<unsigned char>(p_[1])) || p_[1] == '_')) {
                if (!skipPast(">", 1)) return length();
            } else {
                if (depth_ + 1 > maxDepth_) return static_cast<size_t>(p_ - start_);
                if (!startTag()) return length();
            }
        }
    }

private:
    size_t length() const { return static_cast<size_t>(p_ - start_) + std::strlen(p_); }
    bool startsWith(const char* s) const { return std::strncmp(p_, s, std::strlen(s)) == 0; }
    bool startsWithNoCase(const char* s) const {
        for (size_t i = 0; s[i]; ++i)
            if (std::tolower(static_cast<unsigned char>(p_[i])) != s[i]) return false;
        return true;
    }
    bool skipPast(const char* end, size_t from) {
        const char* found = std::strstr(p_ + from, end);
        if (!found) return false;
        p_ = found + std::strlen(end);
        return true;
    }
    void skipSpace() {
        while (*p_ && isSpace(static_cast<unsigned char>(*p_))) ++p_;
    }
    bool readName() {
        if (!(isAlpha(static_cast<unsigned char>(*p_)) || *p_ == '_')) return false;
        while (*p_ && isNameChar(static_cast<unsigned char>(*p_))) ++p_;
        return true;
    }
    // name = value, the value quoted or (leniently) bare. False where the reader fails.
    bool attribute() {
        if (!readName()) return false;
        skipSpace();
        if (*p_ != '=') return false;
        ++p_;
        skipSpace();
        if (*p_ == '"' || *p_ == '\'') {
            const char* close = std::strchr(p_ + 1, *p_);
            if (!close) return false;
            p_ = close + 1;
            return true;
        }
        while (*p_ && !isSpace(static_cast<unsigned char>(*p_)) && *p_ != '/' && *p_ != '>') {
            if (*p_ == '"' || *p_ == '\'') return false;
            ++p_;
        }
        return true;
    }
    // At "<" and a name: either an empty element or one more open level.
    bool startTag() {
        ++p_;
        readName();
        for (;;) {
            skipSpace();
            if (!*p_) return false;
            if (*p_ == '/') {
                if (p_[1] != '>') return false;
                p_ += 2;
                return true;
            }
            if (*p_ == '>') {
                ++p_;
                ++depth_;
                return true;
            }
            if (!attribute()) return false;
        }
    }
    bool skipDeclaration() {
        p_ += 5;
        while (*p_) {
            if (*p_ == '>') {
                ++p_;
                return true;
            }
            skipSpace();
            if (!*p_) return false;
            if (startsWithNoCase("version") || startsWithNoCase("encoding") || startsWithNoCase("standalone")) {
                if (!attribute()) return false;
            } else {
                while (*p_ && *p_ != '>' && !isSpace(static_cast<unsigned char>(*p_))) ++p_;
            }
        }
        return false;
    }

    const char* p_;
    const char* start_;
    size_t maxDepth_;
    size_t depth_ = 0;
};

} // namespace

size_t xmlPrefixWithinDepth(const std::string& text, size_t maxDepth) {
    return Scanner(text.c_str(), maxDepth).run();
}

} // namespace ornivel
