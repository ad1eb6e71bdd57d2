// ornivel-publish: makes or updates a deployment for the launcher from a client folder.
#include <cerrno>
#include <chrono>
#include <exception>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "FileSystem.h"
#include "FleetReports.h"
#include "Progress.h"
#include "PublishOptions.h"
#include "Publisher.h"
#include "Signing.h"
#include "Terminal.h"

#ifdef _WIN32
#include "common/Utf16.h"
#endif

namespace {

using namespace ornivel::publish;

// Hands one log to the gatherer; false with the problem when it cannot be read.
bool readLog(const std::string& name, FleetGatherer& gatherer, std::string& problem) {
    const auto onPiece = [&gatherer](std::string_view piece) { gatherer.addPiece(piece); };
    bool read = false;
    errno = 0;
    if (name == "-") {
        read = readInput(onPiece);
    } else if (std::ifstream in{pathOfText(name), std::ios::binary}) {
        std::string buffer(1 << 20, '\0');
        while (in.read(&buffer[0], static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
            onPiece(std::string_view(buffer.data(), static_cast<size_t>(in.gcount())));
        read = in.eof() && !in.bad();
    }
    gatherer.endLog();
    if (!read) problem = name + ": cannot be read" + (errno ? ": " + std::generic_category().message(errno) : "");
    return read;
}

// "fleet LOG...": one row per installation that reported.
int fleet(const PublishOptions& options) {
    const int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    FleetGatherer gatherer = options.sinceDays > 0 ? FleetGatherer(now - int64_t(options.sinceDays) * 86400)
                                                   : FleetGatherer();
    for (const std::string& log : options.logFiles) {
        std::string problem;
        if (!readLog(log, gatherer, problem)) {
            writeError("ornivel-publish: " + problem + "\n");
            return 1;
        }
    }
    const std::vector<Installation> installations = gatherer.installations();
    writeOutput(options.csv ? fleetCsv(installations) : fleetTable(installations));
    if (gatherer.skippedLines() > 0)
        writeError(std::to_string(gatherer.skippedLines()) + (gatherer.skippedLines() == 1 ? " line" : " lines") +
                   " skipped\n");
    return 0;
}

int run(const std::vector<std::string>& arguments) {
    PublishOptions options;
    std::string problem;
    if (!parsePublishOptions(arguments, options, problem)) {
        writeError("ornivel-publish: " + problem + "\n\n" + kUsage);
        return 2;
    }
    if (options.help) {
        writeOutput(kUsage);
        return 0;
    }
    if (options.fleet) return fleet(options);
    if (options.keygen) {
        std::string publicKeyLine;
        if (!generateKeys(pathOfText(options.keyFolder), publicKeyLine, problem)) {
            writeError("ornivel-publish: " + problem + "\nornivel-publish: no keys made\n");
            return 1;
        }
        writeOutput("Made a key pair in " + options.keyFolder + ":\n"
                    "  ornivel-signing.key  the secret key: sign with --key, keep it off the servers\n"
                    "  ornivel-Key.txt      the public key, for every installation folder: " + publicKeyLine + "\n");
        return 0;
    }
    ProgressCallback progress;
    bool shown = false;
    if (errorIsTerminal()) {
        progress = [&shown](size_t filesDone, size_t files, uint64_t bytesDone, uint64_t bytes) {
            writeError("\r" + progressLine(filesDone, files, bytesDone, bytes) + "   ");
            shown = true;
        };
    }
    PublishSummary summary;
    std::vector<std::string> problems;
    const bool published = publish(options, summary, problems, progress);
    if (shown) writeError("\n");
    if (!published) {
        const size_t shownProblems = problems.size() > 50 ? 50 : problems.size();
        for (size_t i = 0; i < shownProblems; ++i) writeError("ornivel-publish: " + problems[i] + "\n");
        if (problems.size() > shownProblems)
            writeError("ornivel-publish: ... and " + std::to_string(problems.size() - shownProblems) + " more\n");
        writeError("ornivel-publish: publishing failed\n");
        return 1;
    }
    writeOutput(summaryText(summary, options.urlPath));
    return 0;
}

int guarded(const std::vector<std::string>& arguments) {
    try {
        return run(arguments);
    } catch (const std::exception& error) {
        writeError(std::string("ornivel-publish: ") + error.what() + "\n");
        return 1;
    }
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        std::string argument;
        if (!ornivel::strictUtf8OfUtf16(argv[i], argument)) {
            writeError("ornivel-publish: an argument is not valid Unicode\n");
            return 2;
        }
        arguments.push_back(argument);
    }
    return guarded(arguments);
}
#else
int main(int argc, char** argv) { return guarded(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
