#include <gtest/gtest.h>

#include "remote/HttpText.h"

namespace ornivel {
namespace {

TEST(HttpText, ParsesUrlsLikeTheClientDoes) {
    ParsedUrl u = parseUrl("http://h:80/app/dir/a%20b.jar");
    EXPECT_EQ(u.scheme, "HTTP");
    EXPECT_EQ(u.host, "H");
    EXPECT_EQ(u.port, 80);
    EXPECT_EQ(u.path, "/app/dir/a%20b.jar");

    u = parseUrl("http://Some-Host.example");
    EXPECT_EQ(u.host, "SOME-HOST.EXAMPLE");
    EXPECT_EQ(u.port, 80);
    EXPECT_EQ(u.path, "/");

    u = parseUrl("HTTPS://h:443/x");
    EXPECT_EQ(u.scheme, "HTTPS");

    // Without any ":" the whole text is host and path.
    u = parseUrl("server2/Deploy/File.JAR");
    EXPECT_EQ(u.scheme, "HTTP");
    EXPECT_EQ(u.host, "SERVER2");
    EXPECT_EQ(u.path, "/Deploy/File.JAR");

    // The host ends at the first character that is not a host character.
    u = parseUrl("http://h_x/p");
    EXPECT_EQ(u.host, "H");
    EXPECT_EQ(u.path, "_x/p");

    // Long hosts and paths are not cut.
    const std::string longPath = "/" + std::string(5000, 'p');
    u = parseUrl("http://" + std::string(300, 'a') + ":81" + longPath);
    EXPECT_EQ(u.host.size(), 300u);
    EXPECT_EQ(u.port, 81);
    EXPECT_EQ(u.path, longPath);
}

TEST(HttpText, BuildsTheRequestTextByteForByte) {
    EXPECT_EQ(buildRequestText("/app/dir/a%20b.jar", "H", nullptr, 0),
              "GET /app/dir/a%20b.jar HTTP/1.1\r\nAccept: */*\r\nAccept-Language: *\r\n"
              "User-Agent: Mozilla/4.0\r\nHost: H\r\n\r\n");
    EXPECT_EQ(buildRequestText("/form", "H", "Content-Type: application/x-www-form-urlencoded\r\n", 7),
              "POST /form HTTP/1.1\r\nAccept: */*\r\nAccept-Language: *\r\nUser-Agent: Mozilla/4.0\r\n"
              "Content-Length: 7\r\nHost: H\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n");
    const std::string longPath(4000, 'x');
    EXPECT_EQ(buildRequestText(longPath, "H", "", 0).size(), 4000u + 84u);
}

TEST(HttpText, HeaderEndsAtTheFirstEmptyLine) {
    const std::string header = "HTTP/1.1 200 OK\r\nA: b\r\n\r\nbody";
    HeaderEnd end;
    size_t i = 0;
    while (i < header.size() && !end.add(header[i])) ++i;
    EXPECT_EQ(header.substr(0, i + 1), "HTTP/1.1 200 OK\r\nA: b\r\n\r\n");

    HeaderEnd bare;  // line feeds alone end it as well
    EXPECT_FALSE(bare.add('x'));
    EXPECT_FALSE(bare.add('\n'));
    EXPECT_TRUE(bare.add('\n'));
}

TEST(HttpText, ParsesStatusAndContentLength) {
    EXPECT_EQ(parseStatus("HTTP/1.1 200 OK\r\n\r\n"), 200);
    EXPECT_EQ(parseStatus("HTTP/1.0 404 Not Found\r\n\r\n"), 404);
    EXPECT_EQ(parseStatus("garbage\r\nHTTP/1.1 302 Found\r\n"), 302);
    EXPECT_EQ(parseStatus("HTTP/2 200\r\n"), 0);
    EXPECT_EQ(parseStatus(""), 0);

    uint64_t length = 99;
    EXPECT_TRUE(parseContentLength("HTTP/1.1 200 OK\r\nContent-Length: 1234\r\n\r\n", length));
    EXPECT_EQ(length, 1234u);
    EXPECT_TRUE(parseContentLength("Content-Length: 0\r\n", length));
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(parseContentLength("Content-Length: 5000000000\r\n", length));
    EXPECT_EQ(length, 5000000000ull);
    EXPECT_FALSE(parseContentLength("content-length: 5\r\n", length));  // case-sensitive
    EXPECT_FALSE(parseContentLength("Content-Length:5\r\n", length));   // the blank belongs to the name
    EXPECT_FALSE(parseContentLength("Content-Length: -5\r\n", length));
    EXPECT_FALSE(parseContentLength("Content-Length: 99999999999999999999999\r\n", length));
}

TEST(HttpText, ReadsRefreshAndLocation) {
    std::string value;
    ASSERT_TRUE(headerValue("HTTP/1.1 200 OK\r\nRefresh: 5;url=http://x/y\r\n\r\n", "Refresh: ", value));
    EXPECT_EQ(value, "5;url=http://x/y");
    Refresh r = parseRefresh(value, "http://h/cur");
    EXPECT_EQ(r.seconds, 5u);
    EXPECT_EQ(r.url, "http://x/y");
    r = parseRefresh("0", "http://h/cur");
    EXPECT_EQ(r.seconds, 0u);
    EXPECT_EQ(r.url, "http://h/cur");
    r = parseRefresh("2; URL=http://x/", "http://h/cur");  // "url=" is case-sensitive
    EXPECT_EQ(r.url, "http://h/cur");
    // A server cannot hold a download for long, nor overflow the wait.
    for (const char* long_ : {"7", "99999999999999999999999;url=x", "4294967296"})
        EXPECT_EQ(parseRefresh(long_, "u").seconds, kMaxRefreshSeconds) << long_;
    EXPECT_EQ(parseRefresh("-3", "u").seconds, 0u);
    EXPECT_TRUE(hasControlCharacter("http://h/a\r\nX: y"));
    EXPECT_FALSE(hasControlCharacter("http://h/a%0d%0a"));
    EXPECT_FALSE(headerValue("HTTP/1.1 200 OK\r\n\r\n", "Location: ", value));

    EXPECT_EQ(resolveLocation("http://h:8080/a/b", "/c/d"), "http://H:8080/c/d");
    EXPECT_EQ(resolveLocation("http://h:8080/a/b", "http://other:81/x"), "http://other:81/x");
    EXPECT_EQ(resolveLocation("http://h:8080/a/b", "other/x"), "other/x");
}

TEST(HttpText, ReadsWhatContinuesAPartialFile) {
    const std::string header = "HTTP/1.1 206 Partial Content\r\netag: \"abc\"  \r\nLast-Modified:\tWed, 09 Dec 2026 "
                               "21:01:15 GMT\r\nContent-Range: bytes 100-199/200\r\nX-ETag: no\r\n\r\n";
    std::string value;
    ASSERT_TRUE(headerField(header, "ETag", value));  // any letter case, trailing blanks dropped
    EXPECT_EQ(value, "\"abc\"");
    EXPECT_FALSE(headerField("ETag: \"in the status line\"\r\n\r\n", "ETag", value));
    EXPECT_FALSE(headerField(header, "Range", value));  // whole names only
    ASSERT_TRUE(headerField(header, "Content-Range", value));

    ContentRange range;
    ASSERT_TRUE(parseContentRange(value, range));
    EXPECT_EQ(range.first, 100u);
    EXPECT_EQ(range.last, 199u);
    EXPECT_EQ(range.total, 200u);
    ASSERT_TRUE(parseContentRange("Bytes  0-4999999999/5000000000", range));
    EXPECT_EQ(range.total, 5000000000ull);
    for (const char* bad : {"bytes 5-4/10", "bytes 0-10/10", "bytes 0-9/*", "bytes */10", "bytes 0-9/10 x",
                            "items 0-9/10", "bytes=0-9/10", "bytes 0-99999999999999999999999/1", ""})
        EXPECT_FALSE(parseContentRange(bad, range)) << bad;

    // A strong entity tag first, the date without one; weak tags and unprintable values never.
    EXPECT_EQ(responseValidator(header), "\"abc\"");
    EXPECT_EQ(chooseValidator("W/\"abc\"", "Wed, 09 Dec 2026 21:01:15 GMT"), "Wed, 09 Dec 2026 21:01:15 GMT");
    EXPECT_EQ(chooseValidator("", "Wed, 09 Dec 2026 21:01:15 GMT"), "Wed, 09 Dec 2026 21:01:15 GMT");
    EXPECT_EQ(chooseValidator("\"a\x01\"", "\xe4"), "");
    EXPECT_EQ(chooseValidator(std::string(kMaxValidatorBytes + 1, 'x'), ""), "");
    EXPECT_EQ(responseValidator("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n"), "");

    EXPECT_EQ(rangeRequestLines(65536, "\"abc\""), "Range: bytes=65536-\r\nIf-Range: \"abc\"\r\n");
    std::string validator;
    ASSERT_TRUE(parseResumeInfo(resumeInfoText("\"abc\""), validator));
    EXPECT_EQ(validator, "\"abc\"");
    for (const char* bad : {"\"abc\"", "\"abc\"\n\n", "\n", "a\r\nInjected: 1\n", ""})
        EXPECT_FALSE(parseResumeInfo(bad, validator)) << bad;
}

TEST(HttpText, ClassifiesTheAnswersToADownload) {
    ContentRange range;
    const std::string fits = "bytes 100-199/200";
    const uint64_t rangeLength = 100, otherLength = 99;
    EXPECT_EQ(classifyAnswer(200, 0, nullptr, nullptr, range), AnswerUse::Whole);
    EXPECT_EQ(classifyAnswer(200, 100, nullptr, nullptr, range), AnswerUse::Whole);  // the server starts over
    EXPECT_EQ(classifyAnswer(206, 100, &fits, &rangeLength, range), AnswerUse::Append);
    EXPECT_EQ(range.total, 200u);
    EXPECT_EQ(classifyAnswer(206, 100, &fits, nullptr, range), AnswerUse::Append);
    EXPECT_EQ(classifyAnswer(416, 200, nullptr, nullptr, range), AnswerUse::NotSatisfiable);
    // A 206 only as the answer to the download's own range request, and only where it fits.
    EXPECT_EQ(classifyAnswer(206, 0, &fits, &rangeLength, range), AnswerUse::Refuse);
    EXPECT_EQ(classifyAnswer(206, 99, &fits, &rangeLength, range), AnswerUse::Refuse);
    EXPECT_EQ(classifyAnswer(206, 100, &fits, &otherLength, range), AnswerUse::Refuse);
    EXPECT_EQ(classifyAnswer(206, 100, nullptr, &rangeLength, range), AnswerUse::Refuse);
    for (int status : {204, 304, 404, 416, 500}) EXPECT_EQ(classifyAnswer(status, 0, nullptr, nullptr, range), AnswerUse::Refuse);
    EXPECT_EQ(classifyAnswer(304, 100, nullptr, nullptr, range), AnswerUse::Refuse);
}

TEST(HttpText, Percentages) {
    EXPECT_EQ(percentOf(0, 0), 100);
    EXPECT_EQ(percentOf(5, 0), 100);
    EXPECT_EQ(percentOf(29, 100), 29);
    EXPECT_EQ(percentOf(999, 1000), 99);
    EXPECT_EQ(percentOf(30000000, 10000000), 100);  // never above 100
    EXPECT_EQ(percentOf(4000000000ull, 4000000000ull), 100);
    EXPECT_EQ(heldPercent(0, 10), 0);
    EXPECT_EQ(heldPercent(29, 100), 28);  // (29 / 100) x 100 in double precision is just below 29
    EXPECT_EQ(heldPercent(99, 100), 99);
}

} // namespace
} // namespace ornivel
