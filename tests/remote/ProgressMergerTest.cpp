#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "remote/ProgressMerger.h"

namespace ornivel {
namespace {

struct State {
    int phase, current, total, percent, extra;
    std::wstring text;
};

class StateListener : public ProgressListener {
public:
    void progress(const int* phase, const wchar_t* text, const int* current, const int* total, const int* percent,
                  const int* extra) override {
        ASSERT_TRUE(phase && text && current && total && percent && extra);
        states.push_back({*phase, *current, *total, *percent, *extra, text});
        if (order) order->push_back(this);
    }
    std::vector<State> states;
    std::vector<StateListener*>* order = nullptr;
};

TEST(ProgressMerger, ForwardsTheCompleteStateOnlyWhenSomethingChanged) {
    ProgressMerger merger;
    StateListener listener;
    merger.addListener(&listener);

    const int phase = PHASE_LOADING_FILES, current = 3, total = 10;
    merger.progress(&phase, L"server", &current, &total, nullptr, nullptr);
    const int percent = 37;
    merger.progress(nullptr, nullptr, nullptr, nullptr, &percent, nullptr);
    merger.progress(nullptr, nullptr, nullptr, nullptr, &percent, nullptr);  // the same again
    merger.progress(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);  // nothing at all
    merger.progress(&phase, L"server", &current, &total, &percent, nullptr);  // all unchanged

    ASSERT_EQ(listener.states.size(), 2u);
    const State& last = listener.states[1];
    EXPECT_EQ(last.phase, PHASE_LOADING_FILES);
    EXPECT_EQ(last.text, L"server");
    EXPECT_EQ(last.current, 3);
    EXPECT_EQ(last.total, 10);
    EXPECT_EQ(last.percent, 37);
    EXPECT_EQ(last.extra, 0);
}

TEST(ProgressMerger, EachValueAloneCountsAsAChange) {
    ProgressMerger merger;
    StateListener listener;
    merger.addListener(&listener);
    const int one = 1, two = 2;
    merger.progress(nullptr, nullptr, nullptr, nullptr, nullptr, &one);  // extra only
    merger.progress(nullptr, L"x", nullptr, nullptr, nullptr, nullptr);
    merger.progress(nullptr, L"x", nullptr, nullptr, nullptr, nullptr);
    merger.progress(nullptr, nullptr, &two, nullptr, nullptr, nullptr);
    merger.progress(nullptr, nullptr, nullptr, &two, nullptr, nullptr);
    merger.progress(&two, nullptr, nullptr, nullptr, nullptr, nullptr);
    merger.progress(nullptr, nullptr, nullptr, nullptr, nullptr, &two);
    ASSERT_EQ(listener.states.size(), 6u);
    EXPECT_EQ(listener.states[0].extra, 1);
    EXPECT_EQ(listener.states[5].extra, 2);
    EXPECT_EQ(listener.states[5].phase, 2);
    EXPECT_EQ(listener.states[5].text, L"x");
}

TEST(ProgressMerger, ListenersAreCalledInRegistrationOrderAndCanBeRemoved) {
    ProgressMerger merger;
    std::vector<StateListener*> order;
    StateListener first, second;
    first.order = second.order = &order;
    merger.addListener(&first);
    merger.addListener(&second);
    const int percent = 5;
    merger.progress(nullptr, nullptr, nullptr, nullptr, &percent, nullptr);
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0], &first);
    EXPECT_EQ(order[1], &second);
    merger.removeListener(&first);
    const int more = 6;
    merger.progress(nullptr, nullptr, nullptr, nullptr, &more, nullptr);
    EXPECT_EQ(first.states.size(), 1u);
    EXPECT_EQ(second.states.size(), 2u);
}

} // namespace
} // namespace ornivel
