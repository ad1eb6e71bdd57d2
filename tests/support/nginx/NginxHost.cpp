#include "tests/support/nginx/NginxHost.h"

#include <cstdlib>

#include "tests/support/TestSupport.h"
#include "tests/support/httpserver/TestHttpServer.h"

namespace ornivel::test {

namespace {

std::string unhex(const std::string& text) {
    auto value = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    std::string bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2) bytes += static_cast<char>(value(text[i]) * 16 + value(text[i + 1]));
    return bytes;
}

} // namespace

NginxHost::NginxHost()
    : helper_(ORNIVEL_NGINX_SCRIPT, ORNIVEL_NGINX_RUN_DIR,
              "--tls-dir \"" ORNIVEL_TEST_TLS_DIR "\" --log \"{run}.log\"", 10000),
      httpPort_(helper_.port("http")), httpsPort_(helper_.port("https")) {}

NginxHost::~NginxHost() {
    if (running()) helper_.command("{\"cmd\":\"quit\"}");
}

NginxHost::Result NginxHost::run(const std::vector<std::string>& argv) {
    std::string json = "{\"cmd\":\"run\",\"argv\":[";
    for (size_t i = 0; i < argv.size(); ++i) json += (i ? "," : "") + jsonString(argv[i]);
    const std::string answer = helper_.command(json + "]}");
    Result result;
    if (answer.rfind("OK ", 0) != 0) {
        result.output = answer;
        return result;
    }
    const size_t space = answer.find(' ', 3);
    result.status = std::atoi(answer.substr(3, space - 3).c_str());
    if (space != std::string::npos) result.output = unhex(answer.substr(space + 1));
    return result;
}

bool NginxHost::serve(const std::wstring& fragment, std::string& complaint, const std::string& extra) {
    complaint = helper_.command("{\"cmd\":\"serve\",\"fragment\":" + jsonString(unixPathOf(fragment)) +
                        ",\"extra\":" + jsonString(extra) + "}");
    return complaint == "OK";
}

std::wstring NginxHost::accessLog() const { return windowsPathOf(helper_.runDir() + "/logs/access.log"); }

} // namespace ornivel::test
