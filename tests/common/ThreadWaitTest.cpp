// The thread and event primitives under the Java host, on the platform layer of the build
// (Win32 under Wine, POSIX in the native build).
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>

#include "common/Event.h"
#include "common/Guarded.h"
#include "common/Thread.h"

namespace ornivel {
namespace {

// A thread that ends once its gate is opened.
class Gated : public Thread {
public:
    Gated() : Thread(kPriorityNormal) {}
    ~Gated() override {
        gate.set();
        waitForEnd();
    }
    Event gate{Event::Reset::Manual};
    std::atomic<bool> done{false};

protected:
    uint32_t run() override {
        gate.wait();
        done = true;
        return 0;
    }
};

TEST(Thread, WaitForEndWaitsForTheBodyAndKeepsTheThreadOnTimeout) {
    Gated thread;
    EXPECT_TRUE(thread.waitForEnd(0));  // not started yet
    thread.start();
    EXPECT_FALSE(thread.waitForEnd(10));
    EXPECT_FALSE(thread.done);
    thread.gate.set();
    EXPECT_TRUE(thread.waitForEnd(kWaitForever));
    EXPECT_TRUE(thread.done);
    EXPECT_TRUE(thread.waitForEnd(0));
}

// A body that throws: the thread's entry contains the exception, reports it and ends.
class Throwing : public Thread {
public:
    Throwing() : Thread(kPriorityNormal) {}
    ~Throwing() override { waitForEnd(); }

protected:
    uint32_t run() override { throw std::runtime_error("lost file handle"); }
};

std::string reportedEscape;
void recordEscape(const char* where, const char* what) { reportedEscape = std::string(where) + ": " + what; }

TEST(Thread, AnExceptionLeavingTheBodyIsContainedAndReported) {
    setEscapeReporter(recordEscape);
    {
        Throwing thread;
        ASSERT_TRUE(thread.start());
        EXPECT_TRUE(thread.waitForEnd(kWaitForever));
    }
    setEscapeReporter(nullptr);
    EXPECT_EQ(reportedEscape, "a thread's entry: lost file handle");
}

TEST(Event, AnAutomaticEventIsTakenByOneWaitAManualOneStays) {
    Event automatic(Event::Reset::Automatic), manual(Event::Reset::Manual);
    EXPECT_FALSE(automatic.wait(0));
    EXPECT_EQ(Event::waitForEither(automatic, manual, 10), -1);
    automatic.set();
    manual.set();
    EXPECT_EQ(Event::waitForEither(automatic, manual, 0), 0);  // the first wins and is taken
    EXPECT_EQ(Event::waitForEither(automatic, manual, 0), 1);
    EXPECT_TRUE(manual.wait(0));
    manual.reset();
    EXPECT_FALSE(manual.wait(0));
}

} // namespace
} // namespace ornivel
