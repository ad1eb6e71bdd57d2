#include "StandinScenario.h"

#include <cstdlib>
#include <sstream>

namespace ornivel::test::standin {

const char* const kScenarioFile = "standin-jvm.scenario";
const char* const kRecordFile = "standin-jvm.log";
const char* const kWindowTitle = "ornivel client (stand-in)";

namespace {

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) text += (i ? "," : "") + items[i];
    return text;
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> items;
    std::string item;
    std::istringstream in(text);
    while (std::getline(in, item, ','))
        if (!item.empty()) items.push_back(item);
    return items;
}

std::string trimmed(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return {};
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

bool yes(const std::string& value) { return value == "yes" || value == "true" || value == "1"; }

} // namespace

std::string Scenario::text() const {
    std::ostringstream out;
    out << "create-result=" << createResult << "\n"
        << "outcomes=" << joined(outcomes) << "\n"
        << "outcome-delay-ms=" << outcomeDelayMs << "\n"
        << "pending=" << (pendingNull ? "null" : "empty") << "\n"
        << "reset-pw=" << (resetPw ? "true" : "false") << "\n"
        << "main-ms=" << mainMs << "\n"
        << "client-ms=" << clientMs << "\n"
        << "window=" << (window ? "yes" : "no") << "\n"
        << "slow-ms=" << slowMs << "\n"
        << "hide-classes=" << joined(hiddenClasses) << "\n";
    return out.str();
}

Scenario Scenario::parse(const std::string& text) {
    Scenario s;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#') continue;
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = trimmed(line.substr(0, equals));
        const std::string value = trimmed(line.substr(equals + 1));
        const int number = std::atoi(value.c_str());
        if (key == "create-result") s.createResult = number;
        else if (key == "outcomes") s.outcomes = split(value);
        else if (key == "outcome-delay-ms") s.outcomeDelayMs = number;
        else if (key == "pending") s.pendingNull = value != "empty";
        else if (key == "reset-pw") s.resetPw = yes(value);
        else if (key == "main-ms") s.mainMs = number;
        else if (key == "client-ms") s.clientMs = number;
        else if (key == "window") s.window = yes(value);
        else if (key == "slow-ms") s.slowMs = number;
        else if (key == "hide-classes") s.hiddenClasses = split(value);
    }
    if (s.outcomes.empty()) s.outcomes.push_back("success");
    return s;
}

std::string outcomeText(const std::string& outcome) {
    if (outcome == "success") return "LoginOK";
    if (outcome == "IOException") return "java.io.IOException: Connection refused: connect";
    if (outcome == "WrongUserOrPasswordException")
        return "de.torbenwald.zolp.common.WrongUserOrPasswordException: user or password wrong";
    if (outcome.rfind("text:", 0) == 0) return outcome.substr(5);
    return outcome;
}

} // namespace ornivel::test::standin
