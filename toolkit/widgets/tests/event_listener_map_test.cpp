#include "toolkit/widgets/event_listener_map.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "toolkit/core/event.h"

namespace {

std::vector<std::string> calls;

struct Listener : oxEventListener {
    explicit Listener(std::string n) : name(std::move(n)) {}
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    int32_t HandleEvent(oxEvent*) override {
        calls.push_back(name);
        if (onCall) onCall();
        return result;
    }
    std::string name;
    ULONG refs = 0;
    int32_t result = 1;
    std::function<void()> onCall;
};

// Atoms 1 and 17 share bucket 1, atom 2 has its own.
TEST(EventListenerMapTest, ListenersRunInAtomOrderAndEachOnce) {
    Listener a("a"), b("b"), c("c"), d("d");
    oxEventListenerMap map; // goes before its listeners
    map.Add(17, &a);
    map.Add(1, &b);
    map.Add(1, &c);
    map.Add(1, &b); // already there
    map.Add(2, &b); // another atom: stored again
    map.Add(1, nullptr);
    map.Add(17, &d);
    EXPECT_EQ(map.GetCount(), 5u);
    EXPECT_EQ(b.refs, 2u);

    calls.clear();
    oxEvent one(1, nullptr);
    map.Dispatch(&one);
    EXPECT_EQ(calls, (std::vector<std::string>{"b", "c"}));
    calls.clear();
    oxEvent seventeen(17, nullptr);
    map.Dispatch(&seventeen);
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "d"}));

    map.Remove(1, &b);
    map.Remove(1, &b); // gone already
    map.Remove(1, nullptr);
    EXPECT_EQ(b.refs, 1u);
    calls.clear();
    map.Dispatch(&one);
    EXPECT_EQ(calls, (std::vector<std::string>{"c"}));
    map.Clear();
    EXPECT_EQ(map.GetCount(), 0u);
    EXPECT_EQ(a.refs + b.refs + c.refs + d.refs, 0u);
    map.Add(2, &b); // usable after clearing
    EXPECT_EQ(map.GetCount(), 1u);
}

TEST(EventListenerMapTest, ChangesDuringDispatchSkipAndRepeatNothing) {
    Listener a("a"), b("b"), c("c"), d("d"), late("late");
    oxEventListenerMap map;
    for (Listener* l : {&a, &b, &c, &d})
        map.Add(5, l);
    map.Add(3, &late); // before the run of 5 on the list
    // b removes itself and the listener before it, and adds one in front of everything.
    b.onCall = [&] {
        map.Remove(5, &b);
        map.Remove(5, &a);
        map.Add(4, &late);
    };
    oxEvent five(5, nullptr);
    calls.clear();
    map.Dispatch(&five);
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "b", "c", "d"}));

    // A listener answering 0 stops the later ones.
    c.result = 0;
    calls.clear();
    map.Dispatch(&five);
    EXPECT_EQ(calls, (std::vector<std::string>{"c"}));

    // Clearing from inside ends the walk.
    c.result = 1;
    c.onCall = [&] { map.Clear(); };
    calls.clear();
    map.Dispatch(&five);
    EXPECT_EQ(calls, (std::vector<std::string>{"c"}));
    EXPECT_EQ(map.GetCount(), 0u);
}

} // namespace
