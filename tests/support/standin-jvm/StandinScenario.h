#pragma once
// The scenario of the stand-in Java runtime: what it answers and how its client behaves.
// Written by tests into "standin-jvm.scenario" in the working folder, read by the stand-in
// when the VM is created. The format is described in README.md.
#include <string>
#include <vector>

namespace ornivel::test::standin {

struct Scenario {
    int createResult = 0;                          // create-result
    std::vector<std::string> outcomes{"success"};  // outcomes (the last one repeats)
    int outcomeDelayMs = 50;                       // outcome-delay-ms
    bool pendingNull = true;                       // pending=null|empty
    bool resetPw = true;                           // reset-pw
    int mainMs = 0;                                // main-ms
    int clientMs = 300;                            // client-ms
    bool window = true;                            // window
    int slowMs = 500;                              // slow-ms
    std::vector<std::string> hiddenClasses;        // hide-classes

    std::string text() const;
    static Scenario parse(const std::string& text);
};

// The getError text a login outcome of the scenario stands for.
std::string outcomeText(const std::string& outcome);

extern const char* const kScenarioFile;  // "standin-jvm.scenario"
extern const char* const kRecordFile;    // "standin-jvm.log"
extern const char* const kWindowTitle;   // "ornivel client (stand-in)"

} // namespace ornivel::test::standin
