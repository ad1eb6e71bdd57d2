#pragma once
// Test support for the stand-in Java runtime: install it into a temporary installation,
// write its scenario, read what it recorded.
#include <map>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"
#include "tests/support/standin-jvm/StandinScenario.h"

namespace ornivel::test::standin {

// The built stand-in jvm.dll (Windows path).
std::wstring builtDllPath();

enum class Flavour { Client, Server };
// Copies the stand-in to "java_17.0.1\bin\client\jvm.dll" (or server) of the installation
// and returns that path.
std::wstring install(const TempFolder& installation, Flavour flavour = Flavour::Client);
// Copies the stand-in to any path (for a runtime found through the registry).
void installAt(const std::wstring& path);

void writeScenario(const TempFolder& installation, const Scenario& scenario);

// Registers a runtime under HKLM\Software\JavaSoft\Java Runtime Environment (CurrentVersion
// and <version>\RuntimeLib) for the lifetime of the object; removes the keys afterwards.
class RegisteredRuntime {
public:
    RegisteredRuntime(const std::wstring& version, const std::wstring& runtimeLib);
    ~RegisteredRuntime();
    RegisteredRuntime(const RegisteredRuntime&) = delete;
    RegisteredRuntime& operator=(const RegisteredRuntime&) = delete;
};

// What the stand-in recorded ("standin-jvm.log"): one line per item, tab-separated fields,
// the first field naming the item (see README.md).
class Record {
public:
    explicit Record(const std::string& text);
    static Record read(const TempFolder& installation);

    using Line = std::vector<std::string>;
    const std::vector<Line>& lines() const { return lines_; }
    std::vector<Line> all(const std::string& kind) const;
    bool has(const std::string& kind) const { return !all(kind).empty(); }
    // The first line of that kind, empty when there is none.
    Line first(const std::string& kind) const;
    // Index of the first line of that kind (and, when given, second field), -1 if none.
    int indexOf(const std::string& kind, const std::string& field = {}) const;

    std::vector<std::string> options() const;
    std::vector<std::pair<std::string, std::string>> properties() const;  // in option order
    std::string property(const std::string& name) const;
    // Value of an environment variable the stand-in saw; "(unset)" when it was not set.
    std::string environment(const std::string& name) const;
    std::vector<std::string> errors() const;
    // The arguments main received (after class and count), and its class.
    std::string mainClass() const;
    std::vector<std::string> mainArguments() const;
    // The bytes of each login record the client read.
    std::vector<std::string> loginRecords() const;
    std::string text() const { return text_; }

private:
    std::string text_;
    std::vector<Line> lines_;
};

} // namespace ornivel::test::standin
