// The extraction tool on RAR input, with its native file system side: whatever the archive
// holds, nothing is written outside the target folder (the folder around it keeps exactly its
// own files), no link is made, and the result is one of the tool's exit statuses.
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "FuzzSupport.h"
#include "tools/extract/ArchiveExtraction.h"

using namespace ornivel;
using namespace ornivel::fuzz;
namespace fs = std::filesystem;

namespace {

// A folder of this process: the archive, the target folder, and a file and a folder beside
// the target that must stay as they are.
struct Sandbox {
    fs::path root, archive, target, beside, besideFolder;
};
Sandbox sandbox;
const char kBesideText[] = "beside the target";

void writeFile(const fs::path& path, const char* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    FUZZ_CHECK(out.good());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // In memory where the system has a place for it: creating folders on a disk file system
    // costs more than the rest of a run.
    const char* base = getenv("TMPDIR");
    const std::string folder = base && *base ? base : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = folder + "/ornivel-rar-XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    sandbox.root = pattern;
    sandbox.archive = sandbox.root / "input.rar";
    sandbox.target = sandbox.root / "target";
    sandbox.beside = sandbox.root / "beside.txt";
    sandbox.besideFolder = sandbox.root / "beside";
    writeFile(sandbox.beside, kBesideText, sizeof kBesideText - 1);
    fs::create_directory(sandbox.besideFolder);
    // An archive may unpack to far more than it holds: a file is cut at 1 MB (the write
    // fails) instead of filling the disk.
    const rlimit limit{1u << 20, 1u << 20};
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, SIG_IGN);
    std::atexit([] { fs::remove_all(sandbox.root); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    writeFile(sandbox.archive, reinterpret_cast<const char*>(data), size);
    const int result = extract::extractArchive(sandbox.archive.wstring(), sandbox.target.wstring(),
                                               [](const std::wstring&) {});
    FUZZ_CHECK(result == extract::EXTRACT_OK || result == extract::EXTRACT_ENTRY_FAILED ||
               result == extract::EXTRACT_ARCHIVE_FAILED);

    size_t around = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(sandbox.root)) {
        ++around;
        const fs::path name = entry.path().filename();
        FUZZ_CHECK(name == "input.rar" || name == "target" || name == "beside.txt" || name == "beside");
        FUZZ_CHECK(!entry.is_symlink());
    }
    FUZZ_CHECK(around == 4);
    FUZZ_CHECK(fs::is_empty(sandbox.besideFolder));
    std::ifstream beside(sandbox.beside, std::ios::binary);
    const std::string besideText((std::istreambuf_iterator<char>(beside)), std::istreambuf_iterator<char>());
    FUZZ_CHECK(besideText == kBesideText);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(sandbox.target))
        FUZZ_CHECK(!entry.is_symlink() && (entry.is_regular_file() || entry.is_directory()));
    // The target folder stays for the next run, empty.
    for (const fs::directory_entry& entry : fs::directory_iterator(sandbox.target)) fs::remove_all(entry.path());
    return 0;
}
