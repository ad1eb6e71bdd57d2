// A process can create only one Java VM, so every test of this program runs in a process of
// its own. Without a test filter the program starts itself once per test, with that test as
// its filter, and reports which processes failed; with a filter it runs the tests itself.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> testNames() {
    std::vector<std::string> names;
    const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
    for (int i = 0; i < unit.total_test_suite_count(); ++i) {
        const testing::TestSuite& suite = *unit.GetTestSuite(i);
        for (int j = 0; j < suite.total_test_count(); ++j) {
            const testing::TestInfo& test = *suite.GetTestInfo(j);
            std::string name = std::string(test.test_suite_name()) + "." + test.name();
            if (name.find("DISABLED_") == std::string::npos) names.push_back(name);
        }
    }
    return names;
}

// Runs one test in a child process; true when it passed.
bool runInOwnProcess(const char* program, const std::string& name) {
    std::fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        const std::string filter = "--gtest_filter=" + name;
        execl("/proc/self/exe", program, filter.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return false;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    if (WIFEXITED(status)) std::printf("[ process ] %s ended with status %d\n", name.c_str(), WEXITSTATUS(status));
    else if (WIFSIGNALED(status)) std::printf("[ process ] %s ended by signal %d\n", name.c_str(), WTERMSIG(status));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(filter) != "*") return RUN_ALL_TESTS();
    std::vector<std::string> failed;
    const std::vector<std::string> names = testNames();
    for (const std::string& name : names)
        if (!runInOwnProcess(argv[0], name)) failed.push_back(name);
    std::printf("[ process ] %zu of %zu test processes passed\n", names.size() - failed.size(), names.size());
    for (const std::string& name : failed) std::printf("[ FAILED  ] %s\n", name.c_str());
    return failed.empty() ? 0 : 1;
}
