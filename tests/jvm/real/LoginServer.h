#pragma once
// A login server on a loopback port that speaks the reference client's one-line protocol:
// each request line is answered with the next prepared answer for its kind ("LOGIN" or
// "RESETPW"; the last one repeats), and every request line is kept.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ornivel::test {

class LoginServer {
public:
    LoginServer(std::vector<std::string> loginAnswers, std::vector<std::string> resetAnswers);
    ~LoginServer();
    LoginServer(const LoginServer&) = delete;
    LoginServer& operator=(const LoginServer&) = delete;

    int port() const { return port_; }
    std::vector<std::string> requests() const;

private:
    void serve();
    std::string answerFor(const std::string& request);

    std::vector<std::string> loginAnswers_;
    std::vector<std::string> resetAnswers_;
    size_t logins_ = 0;
    size_t resets_ = 0;
    int listener_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

} // namespace ornivel::test
