#pragma once
// Finds the parts of a file list document that the list is read from: the XML declaration
// before the list element, its own start tag, and the start tag of every child element of it.
// The scan is iterative (nesting costs a counter and a name per level, never stack), and
// each start tag it hands out holds exactly one "<", so reading a tag on its own can never
// nest. Plain text logic, no system calls.
#include <string_view>
#include <vector>

namespace ornivel {

struct FileListScan {
    enum Result {
        Complete,      // the list element was found and closed
        NoListElement, // only white space, a declaration, comments or a document type
        NotWellFormed, // a fault, a zero byte, text where markup belongs, or markup the XML
                       // reader would read another way (see the .cpp)
    };
    Result result = NotWellFormed;
    bool byteOrderMark = false;          // the text began with the UTF-8 byte-order mark
    std::string_view declaration;        // "<?xml ...?>" before the list element, or empty
    std::string_view listElement;        // the list element's own start tag
    std::vector<std::string_view> entries;  // start tags of the entries, in document order
};

// The list element is the first element of the document; before it may stand a byte-order
// mark, white space, the XML declaration, processing instructions, comments and a document
// type declaration; after it only white space, comments and processing instructions.
FileListScan scanFileList(std::string_view text);

} // namespace ornivel
