// Reading a file list document into its entries' texts (built natively too, and there run
// under the sanitizers with TinyXML built the same way).
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "filelist/FileListReader.h"
#include "filelist/FileListValues.h"

namespace ornivel {
namespace {

std::vector<ListEntryText> entriesOf(std::string text, bool& whole, std::optional<uint64_t>* serial = nullptr) {
    std::vector<ListEntryText> entries;
    std::optional<uint64_t> listSerial;
    whole = readFileListText(text, listSerial, [&entries](const ListEntryText& entry) { entries.push_back(entry); });
    if (serial) *serial = listSerial;
    return entries;
}

TEST(FileListReader, EntryTextsAsTheyStand) {
    bool whole = false;
    std::optional<uint64_t> serial;
    const auto entries = entriesOf(
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!-- list -->\r\n<l Serial=\"7\">\r\n"
        "<f Path=\"J\xC3\xBCrgen &amp; Co\\a.jar\" TimestampGMT=\"01.02.2024 10:00:00\" Timestamp=\"x\" Size=\"12\" "
        "checksum=\"0123456789abcdef0123456789abcdef\"/>\r\n<f Timestamp=\"02.02.2024 10:00:00\"><x/></f></l>\r\n",
        whole, &serial);
    ASSERT_TRUE(whole);
    EXPECT_EQ(serial, 7u);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].path, "J\xC3\xBCrgen & Co\\a.jar");
    EXPECT_EQ(entries[0].time, "01.02.2024 10:00:00");
    EXPECT_EQ(entries[0].size, 12);
    EXPECT_EQ(entries[0].checksum, "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(entries[1].path, "");
    EXPECT_EQ(entries[1].time, "02.02.2024 10:00:00");
    EXPECT_EQ(entries[1].size, kUnknownListSize);
}

TEST(FileListReader, DocumentsThatCannotBeReadOneWayOnlyAreNotReadWhole) {
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<d>";
    for (const std::string& text : std::vector<std::string>{
             "<l><f Path=\"a\"/>" + deep,
             // The XML reader would take the quotation mark after a UTF-8 lead byte for part of a
             // character.
             "\xEF\xBB\xBF<l><f Path=\"\xD9\" Size=\"1\"/></l>",
             "<?xml version=\"1.0\"?><l><f Path=\"a\xF0\"/></l>",
             // It would also end these instructions at their first ">".
             "<l><f Path=\"a\"/><?>x<f Path=\"b\"/>?></l>",
             "<l><?pi a>b?><f Path=\"b\"/></l>",
             "<l><?xml version=\"1.0\"?><f Path=\"b\"/></l>",
             // And it would take a character reference to the next ";", markup and all.
             "<l>&#12<f Path=\"a\"/>;</l>",
             "<l><f Path=\"&#x41\" Size=\"1;\"/></l>",
         }) {
        bool whole = true;
        entriesOf(text, whole);
        EXPECT_FALSE(whole) << text.substr(0, 60);
    }
    // An entry the XML reader refuses ends the reading; the entries before it were read.
    bool whole = true;
    const auto entries = entriesOf("<l><f Path=\"a\"/><:f Path=\"b\"/><f Path=\"c\"/></l>", whole);
    EXPECT_FALSE(whole);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, "a");
}

} // namespace
} // namespace ornivel
