#include <gtest/gtest.h>

#include <vector>

#include "ui/framework/MessageLoop.h"

using namespace winhush::ui;

namespace {

struct CountingIdle : CIdleHandler {
    int calls = 0;
    int moreWorkFor = 0;
    BOOL OnIdle() override { return ++calls <= moreWorkFor; }
};

struct RecordingFilter : CMessageFilter {
    std::vector<UINT>* log;
    UINT consume;
    RecordingFilter(std::vector<UINT>* l, UINT c) : log(l), consume(c) {}
    BOOL PreTranslateMessage(MSG* msg) override {
        log->push_back(msg->message);
        return msg->message == consume;
    }
};

// A filter that removes itself while the loop is offering it a message.
struct SelfRemovingFilter : CMessageFilter {
    CMessageLoop* loop;
    int calls = 0;
    explicit SelfRemovingFilter(CMessageLoop* l) : loop(l) {}
    BOOL PreTranslateMessage(MSG*) override {
        ++calls;
        loop->RemoveMessageFilter(this);
        return FALSE;
    }
};

TEST(MessageLoop, RunsIdleHandlersUntilTheyReportNoMoreWorkThenEndsWithTheQuitCode) {
    CMessageLoop loop;
    CountingIdle idle;
    idle.moreWorkFor = 3;
    loop.AddIdleHandler(&idle);
    ::PostQuitMessage(42);
    EXPECT_EQ(loop.Run(), 42);
    // The quit message was already waiting, so idle processing never started...
    EXPECT_EQ(idle.calls, 0);

    // ...but with an empty queue the handlers run until one pass reports no more work.
    ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
    ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        ::PostQuitMessage(7);
    });
    EXPECT_EQ(loop.Run(), 7);
    EXPECT_GE(idle.calls, 4);
}

TEST(MessageLoop, FiltersSeeMessagesNewestFirstAndCanConsumeThem) {
    CMessageLoop loop;
    std::vector<UINT> older, newer;
    RecordingFilter first(&older, WM_USER + 1);
    RecordingFilter second(&newer, WM_USER + 2);
    loop.AddMessageFilter(&first);
    loop.AddMessageFilter(&second);
    MSG msg = {};
    msg.message = WM_USER + 2;
    EXPECT_TRUE(loop.PreTranslateMessage(&msg));
    EXPECT_EQ(newer.size(), 1u);
    EXPECT_TRUE(older.empty()) << "the newer filter consumed it first";
    msg.message = WM_USER + 1;
    EXPECT_TRUE(loop.PreTranslateMessage(&msg));
    EXPECT_EQ(older.size(), 1u);
    EXPECT_EQ(newer.size(), 2u) << "the newer filter saw it and let it pass";
    loop.RemoveMessageFilter(&second);
    msg.message = WM_USER + 3;
    EXPECT_FALSE(loop.PreTranslateMessage(&msg));
    EXPECT_EQ(newer.size(), 2u) << "a removed filter sees nothing more";
    EXPECT_EQ(older.size(), 2u);
}

TEST(MessageLoop, HandlersMayRemoveThemselvesWhileCalled) {
    CMessageLoop loop;
    SelfRemovingFilter filter(&loop);
    loop.AddMessageFilter(&filter);
    MSG msg = {};
    msg.message = WM_USER;
    loop.PreTranslateMessage(&msg);
    loop.PreTranslateMessage(&msg);
    EXPECT_EQ(filter.calls, 1);
}

TEST(MessageLoop, OnlyFloodMessagesLeaveIdleProcessingOff) {
    for (UINT message : {UINT(WM_MOUSEMOVE), UINT(WM_NCMOUSEMOVE), UINT(WM_PAINT), 0x0118u}) {
        MSG msg = {};
        msg.message = message;
        EXPECT_FALSE(CMessageLoop::IsIdleMessage(msg)) << message;
    }
    MSG key = {};
    key.message = WM_KEYDOWN;
    EXPECT_TRUE(CMessageLoop::IsIdleMessage(key));
}

TEST(AppModule, MapsEachThreadToItsOwnLoop) {
    CAppModule module;
    CMessageLoop mine;
    EXPECT_FALSE(module.AddMessageLoop(&mine)) << "not before Init";
    ASSERT_EQ(module.Init(::GetModuleHandleW(nullptr)), S_OK);
    EXPECT_EQ(module.GetMainThreadId(), ::GetCurrentThreadId());
    EXPECT_TRUE(module.AddMessageLoop(&mine));
    EXPECT_FALSE(module.AddMessageLoop(&mine)) << "one loop per thread";
    EXPECT_EQ(module.GetMessageLoop(), &mine);

    struct OtherThread {
        CAppModule* module;
        CMessageLoop loop;
        CMessageLoop* seenBefore = nullptr;
        CMessageLoop* seenAfter = nullptr;
    } other{&module};
    other.seenBefore = &mine;
    HANDLE thread = ::CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* o = static_cast<OtherThread*>(p);
            o->seenBefore = o->module->GetMessageLoop();
            o->module->AddMessageLoop(&o->loop);
            o->seenAfter = o->module->GetMessageLoop();
            o->module->RemoveMessageLoop();
            return 0;
        },
        &other, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(::WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    ::CloseHandle(thread);
    EXPECT_EQ(other.seenBefore, nullptr);
    EXPECT_EQ(other.seenAfter, &other.loop);
    EXPECT_EQ(module.GetMessageLoop(), &mine);
    EXPECT_TRUE(module.RemoveMessageLoop());
    EXPECT_EQ(module.GetMessageLoop(), nullptr);
}

}  // namespace
