#include "tests/support/standin-jvm/StandinJvm.h"

#include <windows.h>
#include <filesystem>

#include "common/Handles.h"
#include "common/Text.h"

namespace ornivel::test::standin {

namespace {
const wchar_t* const kRuntimesKey = L"Software\\JavaSoft\\Java Runtime Environment";
}

std::wstring builtDllPath() { return windowsPathOf(STANDIN_JVM_UNIX_PATH); }

void installAt(const std::wstring& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    CopyFileW(builtDllPath().c_str(), path.c_str(), FALSE);
}

std::wstring install(const TempFolder& installation, Flavour flavour) {
    std::wstring path = installation / (flavour == Flavour::Client ? L"java_17.0.1\\bin\\client\\jvm.dll"
                                                                   : L"java_17.0.1\\bin\\server\\jvm.dll");
    installAt(path);
    return path;
}

void writeScenario(const TempFolder& installation, const Scenario& scenario) {
    installation.write(fromUtf8(kScenarioFile), scenario.text());
}

RegisteredRuntime::RegisteredRuntime(const std::wstring& version, const std::wstring& runtimeLib) {
    UniqueRegKey key;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRuntimesKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.receive(), nullptr);
    RegSetValueExW(key.get(), L"CurrentVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                   static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t)));
    UniqueRegKey sub;
    RegCreateKeyExW(key.get(), version.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, sub.receive(), nullptr);
    RegSetValueExW(sub.get(), L"RuntimeLib", 0, REG_SZ, reinterpret_cast<const BYTE*>(runtimeLib.c_str()),
                   static_cast<DWORD>((runtimeLib.size() + 1) * sizeof(wchar_t)));
}

RegisteredRuntime::~RegisteredRuntime() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRuntimesKey); }

Record::Record(const std::string& text) : text_(text) {
    for (const std::string& line : splitLines(text)) {
        Line fields;
        size_t start = 0;
        for (;;) {
            size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        lines_.push_back(fields);
    }
}

Record Record::read(const TempFolder& installation) { return Record(installation.read(fromUtf8(kRecordFile))); }

std::vector<Record::Line> Record::all(const std::string& kind) const {
    std::vector<Line> found;
    for (const Line& line : lines_)
        if (line[0] == kind) found.push_back(line);
    return found;
}

Record::Line Record::first(const std::string& kind) const {
    for (const Line& line : lines_)
        if (line[0] == kind) return line;
    return {};
}

int Record::indexOf(const std::string& kind, const std::string& field) const {
    for (size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i][0] == kind && (field.empty() || (lines_[i].size() > 1 && lines_[i][1] == field)))
            return static_cast<int>(i);
    return -1;
}

std::vector<std::string> Record::options() const {
    std::vector<std::string> found;
    for (const Line& line : all("option")) found.push_back(line.size() > 1 ? line[1] : "");
    return found;
}

std::vector<std::pair<std::string, std::string>> Record::properties() const {
    std::vector<std::pair<std::string, std::string>> found;
    for (const Line& line : all("property")) found.emplace_back(line.at(1), line.size() > 2 ? line[2] : "");
    return found;
}

std::string Record::property(const std::string& name) const {
    for (const auto& [key, value] : properties())
        if (key == name) return value;
    return "(unset)";
}

std::string Record::environment(const std::string& name) const {
    std::string value = "(unset)";
    for (const Line& line : all("env"))
        if (line.size() > 1 && line[1] == name) value = line.size() > 2 ? line[2] : "";
    return value;
}

std::vector<std::string> Record::errors() const {
    std::vector<std::string> found;
    for (const Line& line : all("error")) found.push_back(line.size() > 1 ? line[1] : "");
    return found;
}

std::string Record::mainClass() const {
    Line line = first("main");
    return line.size() > 1 ? line[1] : "";
}

std::vector<std::string> Record::mainArguments() const {
    Line line = first("main");
    return line.size() > 3 ? std::vector<std::string>(line.begin() + 3, line.end()) : std::vector<std::string>{};
}

std::vector<std::string> Record::loginRecords() const {
    std::vector<std::string> found;
    for (const Line& line : all("login-record")) {
        std::string bytes;
        const std::string& hex = line.size() > 1 ? line[1] : std::string();
        for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        found.push_back(bytes);
    }
    return found;
}

} // namespace ornivel::test::standin
