#include "tests/jvm/real/LoginServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

namespace ornivel::test {

LoginServer::LoginServer(std::vector<std::string> loginAnswers, std::vector<std::string> resetAnswers)
    : loginAnswers_(std::move(loginAnswers)), resetAnswers_(std::move(resetAnswers)) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) == 0 && listen(listener_, 8) == 0 &&
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port_ = ntohs(address.sin_port);
    thread_ = std::thread(&LoginServer::serve, this);
}

LoginServer::~LoginServer() {
    // Wakes the accept with an error; the thread then ends.
    shutdown(listener_, SHUT_RDWR);
    thread_.join();
    close(listener_);
}

std::vector<std::string> LoginServer::requests() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
}

std::string LoginServer::answerFor(const std::string& request) {
    std::lock_guard<std::mutex> guard(mutex_);
    requests_.push_back(request);
    auto next = [](const std::vector<std::string>& answers, size_t& used) {
        if (answers.empty()) return std::string("NO");
        const std::string& answer = answers[used < answers.size() ? used : answers.size() - 1];
        ++used;
        return answer;
    };
    return request.rfind("LOGIN ", 0) == 0 ? next(loginAnswers_, logins_) : next(resetAnswers_, resets_);
}

void LoginServer::serve() {
    for (;;) {
        int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) return;
        std::string line;
        char c;
        while (read(connection, &c, 1) == 1 && c != '\n') line += c;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string answer = answerFor(line) + "\r\n";
        ssize_t written = write(connection, answer.data(), answer.size());
        (void)written;
        close(connection);
    }
}

} // namespace ornivel::test
