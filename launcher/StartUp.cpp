#include "launcher/StartUp.h"

#include <objbase.h>
#include <commctrl.h>

#include <atomic>

#include "common/Text.h"
#include "jvm/JvmStartFailure.h"
#include "jvm/JavaMainThread.h"
#include "jvm/JvmDiscovery.h"
#include "launcher/ClassPath.h"
#include "config/CompanyCatalog.h"
#include "config/ConfigFiles.h"
#include "launcher/LoginHandOff.h"
#include "launcher/RunRecord.h"
#include "config/StartOptions.h"
#include "logdriver/LogDriver.h"
#include "common/Guarded.h"
#include "config/StoredValues.h"
#include "sync/OrnivelClient.h"
#include "sync/OrnivelSynchronizer.h"
#include "sync/UpdateStatus.h"
#include "remote/ProxyCredentials.h"
#include "ui/CDialogLogin.h"
#include "ui/CDialogProxyCredentials.h"
#include "ui/CompanyChooser.h"

namespace ornivel {

namespace {

const wchar_t* const kLogPattern = L"%d %t | %s | %e | %m";

bool serverFileExists() {
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW(L"ornivel-Server.dat", &data));
    return find.valid();
}

bool chooserWanted(const CompanyCatalog& catalog) {
    return !serverFileExists() && !catalog.companyCaptions.empty() && !catalog.displayCompanies.empty();
}

// The log that contained exceptions are reported to; it lives until the process ends.
std::atomic<LogDriver*> escapeLog{nullptr};

void logEscape(const char* where, const char* what) {
    if (LogDriver* log = escapeLog) log->log(LOG_ERROR, L"An exception escaped %hs and was contained: %hs", where, what);
}

void registerAppenders(LogDriver& log) {
    // Appenders live until the process ends.
    log.addAppender(new CConsoleLogAppender(true, LOG_DEBUG, kLogPattern));
    log.addAppender(new CConsoleLogAppender(false, LOG_DEBUG, kLogPattern));
    log.addAppender(new CFileLogAppender(LOG_DEBUG, L"log\\launcher.log", kLogPattern));
    escapeLog = new LogDriver(log);
    setEscapeReporter(logEscape);
}

// A value option from the command line, or nothing (logged) when it is absent or rejected.
bool optionValue(LogDriver& log, const std::wstring& commandLine, const wchar_t* option, std::wstring& value) {
    OptionValue found = findOptionValue(commandLine, option);
    if (found.status == OptionValue::Rejected)
        log.log(LOG_WARNING, L"Ignoring %s on the command line: %s.", option, found.reason.c_str());
    if (found.status != OptionValue::Found) return false;
    value = found.value;
    return true;
}

// Java reads every path it is given in the ANSI code page, and ";" separates the folders of
// java.library.path and PATH: an installation folder that has no form without either fault
// cannot be handed to it.
void refuseFolder(LogDriver& log, HWND owner, const std::wstring& folder) {
    const std::wstring message = formatWide(
        L"The installation folder %s cannot be handed to Java: its path holds characters that this system's "
        L"code page cannot write, or a \";\", and the drive keeps no short (8.3) name for it. Move the "
        L"installation to a folder whose path has neither.", folder.c_str());
    log.log(LOG_FATAL, L"%s", message.c_str());
    MessageBoxW(owner, message.c_str(), L"ornivel", MB_OK | MB_ICONERROR);
}

void setLibraryPath(LogDriver& log, ThreadStartVM& javaHost, const StartOptions& options, const std::wstring& folder) {
    std::wstring libraryPath;
    if (!optionValue(log, options.commandLine, L"-lib=", libraryPath)) libraryPath = folder + L"system\\dll";
    javaHost.setSystemProperty(L"java.library.path", libraryPath);
}

void setSearchPath(LogDriver& log, const StartOptions& options, const std::wstring& folder) {
    std::wstring oldPath = processEnvironment(L"PATH");
    std::wstring extra;
    if (optionValue(log, options.commandLine, L"-path=", extra))
        putProcessEnvironment(L"PATH", oldPath + L";" + extra);
    else
        putProcessEnvironment(L"PATH", folder + L"system\\dll;" + oldPath);
}

// An update-only run: the synchronisation of a normal start, without any window or message
// box (every message goes to the log only) and without Java. Its exit code is its result.
int runUpdateOnly(const StartOptions& options, const std::wstring& folder, LogDriver& log) {
    OrnivelSynchronizer synchronizer(options.fieldService, moduleFolder(), log, options.debug);
    // The restarted launcher finishes the run in the same way.
    const std::wstring restartArguments = options.fieldService ? L"-aussendienst -updateonly" : L"-updateonly";
    synchronizer.synchronizeFolder(std::wstring(kDeploymentPrefix) + installationName(), restartArguments);
    const RunOutcome outcome = synchronizer.outcome();
    if (FleetReport* report = recordRun(folder, outcome, true, log)) report->finish();
    return static_cast<int>(outcome.result);
}

void runJava(ThreadStartVM& javaHost) {
    javaHost.start();
    javaHost.postQuit();
    javaHost.waitForEnd(INFINITE);
}

} // namespace

int runLauncher(HINSTANCE instance, const std::wstring& commandLine) {
    ThreadStartVM javaHost;
    StartOptions options = parseStartOptions(commandLine);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    InitCommonControls();

    const std::wstring folder = currentFolder();
    CompanyCatalog catalog = readCompanyCatalog(folder + L"\\ornivel.ini");
    if (!options.updateOnly && chooserWanted(catalog)) {
        runCompanyChooser(instance, catalog);
        return 1;
    }

    if (modulePath().find(L"ZOLP") != std::wstring::npos) options.noUpdate = true;
    LogDriver log(L"ornivel");
    CreateDirectoryW(L"log", nullptr);
    javaHost.setSystemProperty(L"file.encoding", L"UTF-8");
    registerAppenders(log);
    LogDriver logWithoutBoxes(log);  // the window appender that synchronising adds is not in this copy
    if (options.updateOnly) {
        const int code = runUpdateOnly(options, folder, log);
        log.end();
        return code;
    }

    auto* dialog = new CDialogLogin(instance, &javaHost);
    if (!options.noUpdate) {
        // An interactive start asks for a proxy's credentials over the dialog when it must.
        setProxyCredentialPrompt([dialog](const std::wstring& proxy, ProxyCredential& credential, bool& remember) {
            return askProxyCredential(dialog->window(), proxy, credential, remember);
        });
        RunOutcome outcome;
        const bool synchronised =
            dialog->synchronize(log, options.fieldService, options.debug, offlineStartDaysPolicy(), outcome);
        setProxyCredentialPrompt(nullptr);
        recordRun(folder, outcome, false, log);  // a report is sent beside the client, never waited for
        if (!synchronised) {
            log.end();
            return 1;
        }
    }

    // The folder as Java can read it back (its short form where needed), or a stop.
    const std::wstring javaFolder = javaReadablePath(folder);
    if (javaFolder.empty()) {
        refuseFolder(logWithoutBoxes, dialog->window(), folder);
        log.end();
        return 1;
    }
    javaHost.setSystemProperty(L"logback.configurationFile", javaFolder + L"system\\config\\logback.xml");
    const std::wstring classPath = buildClassPath(folder);
    for (const Property& property : readPropertiesFile()) javaHost.setSystemProperty(property.first, property.second);
    for (const std::wstring& option : readJvmOptionsFile()) javaHost.addJvmOption(option);
    javaHost.setHeapSizeMb(readHeapSizeMb());
    javaHost.setClassPath(classPath);
    javaHost.setLogDriver(log);
    putProcessEnvironment(L"versionString", OrnivelClient(folder, log).clientChecksum());
    javaHost.setSystemProperty(L"java.net.preferIPv4Stack", L"true");
    setLibraryPath(log, javaHost, options, javaFolder);
    setSearchPath(log, options, javaFolder);

    AddVectoredExceptionHandler(0, jvmStartFailureHandler);
    setJvmFailureOwner(dialog->window());

    if (options.fieldService) {
        delete dialog;
        javaHost.setMainClass(L"de.torbenwald.zolp.adm.Adm");
        runJava(javaHost);
    } else if (options.singus) {
        // The dialog stays (never shown again) until the process ends.
        javaHost.setMainClass(L"de.torbenwald.fennarix.client.Launcher");
        runJava(javaHost);
    } else {
        javaHost.setMainClass(L"de.torbenwald.zolp.launcher.Launcher");
        javaHost.addArgument(L"-hold");
        javaHost.addArgument(L"launcher.dat");
        std::vector<ServerInfo> servers = readServerList();
        javaHost.start();
        runLoginHandOff(dialog, servers, javaHost, log);
        delete dialog;
        javaHost.postQuit();
        javaHost.waitForEnd(INFINITE);
    }

    log.end();
    return 1;
}

} // namespace ornivel
