// ornivel-publish: makes or updates a deployment for the launcher from a client folder.
#include <exception>
#include <string>
#include <vector>

#include "Progress.h"
#include "PublishOptions.h"
#include "Publisher.h"
#include "Signing.h"
#include "Terminal.h"

#ifdef _WIN32
#include "sync/Utf16Text.h"
#endif

namespace {

using namespace ornivel::publish;

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
