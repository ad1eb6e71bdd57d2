// A small program that hosts the Java main thread the way the launcher does, driven by a
// script ("jvmhost.script" in the working folder, UTF-8, one tab-separated step a line),
// so that tests can run each case in a fresh process against the stand-in runtime.
// Writes what it observed to "jvmhost.out"; ends with status 3 after the last step.
//
// Steps: classpath TEXT | heap MB (160 without) | option TEXT | property NAME VALUE | main-class NAME |
// argument TEXT | handler | start | call METHOD SIGNATURE [i:INT | s:TEXT]... |
// string-call METHOD | poll METHOD (string calls every 40 ms until the text is not empty) |
// write FILE TEXT (\r and \n in TEXT stand for CR and LF) | quit | wait | sleep MS | destroy |
// exit (ends the process with 3 at once, leaving the Java main thread as it is)
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/Text.h"
#include "jvm/JObject.h"
#include "jvm/JvmStartFailure.h"
#include "jvm/JavaMainThread.h"
#include "jvm/HeapDumpWatchThread.h"
#include "logdriver/LogDriver.h"

using namespace ornivel;

namespace {

ULONGLONG startTick = 0;

std::vector<std::wstring> fields(const std::wstring& line) {
    std::vector<std::wstring> out;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find(L'\t', start);
        out.push_back(line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
        if (tab == std::wstring::npos) return out;
        start = tab + 1;
    }
}

void output(const std::vector<std::wstring>& items) {
    std::wstring line;
    for (size_t i = 0; i < items.size(); ++i) line += (i ? L"\t" : L"") + items[i];
    std::ofstream out("jvmhost.out", std::ios::binary | std::ios::app);
    out << toUtf8(line) << "\r\n";
}

std::wstring elapsed() { return std::to_wstring(GetTickCount64() - startTick); }

} // namespace

int main() {
    startTick = GetTickCount64();
    linkOutOfMemoryWatcher();
    std::ifstream in("jvmhost.script", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();

    LogDriver log(L"jvmhost");
    log.addAppender(new CFileLogAppender(LOG_DEBUG, L"jvmhost.log", L"%e|%m"));
    auto host = std::make_unique<ThreadStartVM>();
    host->setLogDriver(log);
    // The launcher's heap size when nothing says otherwise (a runtime refuses -Xmx0m).
    host->setHeapSizeMb(160);

    std::string line;
    while (std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::vector<std::wstring> step = fields(fromUtf8(line));
        const std::wstring& name = step[0];
        auto at = [&](size_t i) { return i < step.size() ? step[i] : std::wstring(); };
        if (name == L"classpath") host->setClassPath(at(1));
        else if (name == L"heap") host->setHeapSizeMb(_wtoi(at(1).c_str()));
        else if (name == L"option") host->addJvmOption(at(1));
        else if (name == L"property") host->setSystemProperty(at(1), at(2));
        else if (name == L"main-class") host->setMainClass(at(1));
        else if (name == L"argument") host->addArgument(at(1));
        else if (name == L"handler") AddVectoredExceptionHandler(0, jvmStartFailureHandler);
        else if (name == L"start") {
            host->start();
            output({L"started", elapsed()});
        } else if (name == L"call" || name == L"string-call") {
            std::vector<std::unique_ptr<JObject>> owned;
            std::vector<JObject*> arguments;
            for (size_t i = 3; i < step.size(); ++i) {
                if (step[i].rfind(L"i:", 0) == 0) owned.push_back(std::make_unique<JObjectInt>(_wtoi(step[i].c_str() + 2)));
                else if (step[i].rfind(L"a:", 0) == 0) owned.push_back(std::make_unique<JObjectString>(toAnsi(step[i].substr(2))));
                else owned.push_back(std::make_unique<JObjectString>(step[i].substr(2)));
                arguments.push_back(owned.back().get());
            }
            std::wstring result = name == L"call" ? host->callStaticMethod(at(1), toAnsi(at(2)), arguments)
                                                  : host->callStaticStringMethod(at(1));
            output({L"result", at(1), result, elapsed()});
        } else if (name == L"poll") {
            std::wstring result;
            while (result.empty()) {
                result = host->callStaticStringMethod(at(1));
                Sleep(40);
            }
            output({L"result", at(1), result, elapsed()});
        } else if (name == L"write") {
            std::wstring content = at(2);
            for (size_t i = 0; (i = content.find(L'\\', i)) != std::wstring::npos; ++i) {
                if (i + 1 < content.size() && content[i + 1] == L'r') content.replace(i, 2, L"\r");
                else if (i + 1 < content.size() && content[i + 1] == L'n') content.replace(i, 2, L"\n");
            }
            std::ofstream file(std::filesystem::path(at(1)), std::ios::binary | std::ios::trunc);
            file << toUtf8(content);
        } else if (name == L"quit") {
            host->postQuit();
            output({L"quit", elapsed()});
        } else if (name == L"wait") {
            bool ended = host->waitForEnd(INFINITE);
            output({L"wait", ended ? L"true" : L"false", elapsed()});
        } else if (name == L"sleep") {
            Sleep(static_cast<DWORD>(_wtoi(at(1).c_str())));
        } else if (name == L"exit") {
            output({L"end", elapsed()});
            ExitProcess(3);
        } else if (name == L"destroy") {
            host.reset();
            output({L"destroyed", elapsed()});
        } else {
            output({L"unknown-step", name});
        }
    }
    output({L"end", elapsed()});
    return 3;
}
