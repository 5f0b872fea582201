#include "app/timer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/script_function.h"
#include "platform/backend/headless.h"
#include "runtime/result_codes.h"
#include "toolkit/script/application.h"

namespace {

std::vector<std::string> fired;

// A script object whose methods "a", "b" and "c" record their names when called.
class Target : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
};

template <char Name> int32_t Record(NUBO::XObject*, int, NUBO::XArgList*, NUBO::XVariant*) {
    fired.push_back(std::string(1, Name));
    return 0;
}

const NUBO::XMemberEntry kTargetMembers[] = {
    NUBO::XMethod("a", Record<'a'>),
    NUBO::XMethod("b", Record<'b'>),
    NUBO::XMethod("c", Record<'c'>),
    NUBO::XMemberEnd(),
};
NUBO::XClassDescriptor Target::Descriptor = {"Target", 4, kTargetMembers, &NUBO::XObject::Descriptor, 0, {}};

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock = &platform::headless::UseVirtualClock(1000);
        app = new oxApplication();
        app->AddRef();
        ASSERT_EQ(app->Init(), 1);
        target = new Target();
        target->AddRef();
        function = new XScriptFunction(u"setTimeoutObject");
        function->AddRef();
        fired.clear();
    }
    void TearDown() override {
        Timer::CancelAll();
        function->Release();
        EXPECT_EQ(target->GetRefCount(), 1) << "no call left holds the target";
        target->Release();
        app->Shutdown();
        app->Release();
        platform::headless::UseRealClock();
    }

    // setTimeoutObject(target, name, delay) as the script engine calls it: arguments last first,
    // `this` in place 0.
    NUBO::XObject* SetTimeout(const WCHAR* name, int delay, HRESULT* status = nullptr) {
        NUBO::XVariant args[4];
        args[0] = static_cast<NUBO::XObject*>(function); // this
        args[1] = delay;
        args[2] = name;
        args[3] = static_cast<NUBO::XObject*>(target);
        DISPPARAMS params{args, nullptr, 4, 0};
        NUBO::XVariant result;
        HRESULT hr = function->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
        if (status) *status = hr;
        return result.ToXObject(); // counted
    }

    platform::VirtualClock* clock = nullptr;
    oxApplication* app = nullptr;
    Target* target = nullptr;
    XScriptFunction* function = nullptr;
};

TEST_F(TimerTest, CallsFireInDeadlineOrderOnTheVirtualClock) {
    NUBO::XObject* late = SetTimeout(u"c", 300);
    NUBO::XObject* early = SetTimeout(u"a", 100);
    NUBO::XObject* now = SetTimeout(u"b", 0);
    ASSERT_TRUE(late && early && now);
    EXPECT_TRUE(fired.empty()) << "a delay of 0 never fires inside the call";
    EXPECT_EQ(Timer::PendingCount(), 3);
    now->Release();
    early->Release(); // a pending call keeps its Timer
    platform::headless::AdvanceAndRun(50);
    EXPECT_EQ(fired, (std::vector<std::string>{"b"}));
    EXPECT_EQ(Timer::PendingCount(), 2) << "a fired Timer is pending no more";
    platform::headless::AdvanceAndRun(300);
    EXPECT_EQ(fired, (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_FALSE(static_cast<Timer*>(late)->IsPending());
    EXPECT_EQ(Timer::PendingCount(), 0) << "while the script still holds it";
    late->Release();
}

TEST_F(TimerTest, RescheduleReplacesAndCancelForgets) {
    NUBO::XObject* object = SetTimeout(u"a", 100);
    ASSERT_NE(object, nullptr);
    auto* timer = static_cast<Timer*>(object);
    platform::headless::AdvanceAndRun(50);
    // Scheduling again before the first delay passed: one call, after the second delay.
    NUBO::XVariant result;
    NUBO::XArgList args;
    args.PushArg(NUBO::XVariant(static_cast<NUBO::XObject*>(target)));
    args.PushArg(NUBO::XVariant(u"b"));
    args.PushArg(NUBO::XVariant(200));
    EXPECT_EQ(timer->InvokeMethodByName(u"setForOffset", &args, &result), 0);
    platform::headless::AdvanceAndRun(199);
    EXPECT_TRUE(fired.empty());
    platform::headless::AdvanceAndRun(1);
    EXPECT_EQ(fired, (std::vector<std::string>{"b"}));
    EXPECT_EQ(timer->InvokeMethodByName(u"cancel", &args, &result), 0) << "after the call: nothing";

    EXPECT_EQ(timer->Schedule(target, NUBO::TWString(u"c"), 10), 0);
    EXPECT_EQ(timer->InvokeMethodByName(u"cancel", &args, &result), 0);
    platform::headless::AdvanceAndRun(100);
    EXPECT_EQ(fired, (std::vector<std::string>{"b"}));
    // A name the target lacks fires without a trace.
    EXPECT_EQ(timer->Schedule(target, NUBO::TWString(u"missing"), 0), 0);
    platform::headless::AdvanceAndRun(10);
    EXPECT_EQ(fired.size(), 1u);
    object->Release();
}

TEST_F(TimerTest, BadCallsAnswerWithoutAnError) {
    NUBO::XVariant args[3];
    args[0] = static_cast<NUBO::XObject*>(function);
    args[1] = u"a";
    args[2] = static_cast<NUBO::XObject*>(target);
    DISPPARAMS params{args, nullptr, 3, 0};
    NUBO::XVariant result;
    EXPECT_EQ(function->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
              NUBO::XR_TOO_FEW_ARGS);
    EXPECT_EQ(result.vt, VT_EMPTY);
    EXPECT_EQ(function->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_FALSE);
    EXPECT_EQ(function->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, &result, nullptr, nullptr),
              S_FALSE);
    NUBO::XArgList two;
    two.PushArg(NUBO::XVariant(1));
    two.PushArg(NUBO::XVariant(2));
    Timer* timer = nullptr;
    ASSERT_EQ(CreateTimer(&timer), 0);
    EXPECT_EQ(timer->InvokeMethodByName(u"setTimeoutObject", &two, &result), NUBO::XR_TOO_FEW_ARGS);
    EXPECT_EQ(CreateTimer(nullptr), NUBO::XR_INVALID);
    timer->Release();
}

} // namespace
