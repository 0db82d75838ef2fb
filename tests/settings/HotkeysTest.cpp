// The hotkeys against the real settings key of the test prefix and the real RegisterHotKey:
// whether a combination is taken is asked of the system itself, by trying to register it
// once more (which fails while anybody holds it).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "base/Strings.h"
#include "settings/Hotkeys.h"
#include "settings/SettingsStore.h"

using namespace winhush;
using namespace winhush::settings;
namespace t = winhush::test;
using namespace std::chrono_literals;

namespace {

constexpr wchar_t kKey[] = L"SOFTWARE\\Zelvane\\Winhush";
constexpr int kProbeId = 0x7100;

// True when nobody holds the combination: it could be registered (and is given back).
bool IsFree(UINT modifiers, UINT vk) {
    if (!::RegisterHotKey(nullptr, kProbeId, modifiers, vk)) return false;
    ::UnregisterHotKey(nullptr, kProbeId);
    return true;
}

bool AtomNameExists(int index) {
    return ::GlobalFindAtomW(FormatW(L"%s_%d", kProductTaskName, index).c_str()) != 0;
}

class Hotkeys : public ::testing::Test {
protected:
    void SetUp() override {
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kKey);
        window_ = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        ReleaseHotkeys(window_, state_);
        ::DestroyWindow(window_);
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kKey);
    }
    void Store(int index, const wchar_t* text) {
        ASSERT_TRUE(t::RegSetString(HKEY_LOCAL_MACHINE, kKey, HotkeyKeyValue(index), text));
    }

    HWND window_ = nullptr;
    HotkeyRegistration state_;
};

struct ValueCase {
    const wchar_t* text;
    bool registers;
    UINT modifiers;  // what must be taken afterwards
    UINT vk;
};

TEST_F(Hotkeys, StoredCodesBecomeExactlyTheirCombination) {
    const ValueCase cases[] = {
        {L"17,16,65", true, MOD_CONTROL | MOD_SHIFT, 'A'},
        {L"-1,16,65", true, MOD_SHIFT, 'A'},
        // Neither code is a modifier in its position: the key alone.
        {L"16,17,65", true, 0, 'A'},
        {L"17,18,75", true, MOD_CONTROL | MOD_ALT, 'K'},
        {L"18,16,-1", false, 0, 0},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.text));
        Store(kHotkeyMain, c.text);
        SetHotkey(window_, state_, kHotkeyMain, true);
        const HotkeySlot& slot = state_.slots[kHotkeyMain];
        if (c.registers) {
            EXPECT_TRUE(slot.registered);
            EXPECT_NE(slot.atom, -1);
            EXPECT_FALSE(IsFree(c.modifiers, c.vk)) << "the combination is not held";
            // Nothing more than it: the same key with one modifier more or less stays free.
            EXPECT_TRUE(IsFree(c.modifiers ^ MOD_ALT, c.vk));
            EXPECT_TRUE(IsFree(c.modifiers ^ MOD_WIN, c.vk));
        } else {
            EXPECT_EQ(slot.atom, -1);
            EXPECT_FALSE(AtomNameExists(kHotkeyMain));
            EXPECT_TRUE(IsFree(MOD_ALT | MOD_SHIFT, 'Z'));
        }
        ReleaseHotkeys(window_, state_);
        if (c.registers) {
            EXPECT_TRUE(IsFree(c.modifiers, c.vk)) << "released hotkeys must be free again";
        }
        EXPECT_EQ(state_.slots[kHotkeyMain].atom, -1);
    }
}

TEST_F(Hotkeys, MissingOrBrokenValuesRegisterTheDefaults) {
    SetHotkey(window_, state_, kHotkeyLocate, true);
    EXPECT_TRUE(state_.slots[kHotkeyLocate].registered);
    EXPECT_FALSE(IsFree(MOD_ALT | MOD_SHIFT, 'A'));
    EXPECT_EQ(t::RegGetString(HKEY_LOCAL_MACHINE, kKey, kLocateShortcut), L"18,16,65");

    Store(kHotkeyMain, L"Z,16,90");  // parses to nothing: no hotkey at all
    SetHotkey(window_, state_, kHotkeyMain, true);
    EXPECT_EQ(state_.slots[kHotkeyMain].atom, -1);
    EXPECT_TRUE(IsFree(MOD_ALT | MOD_SHIFT, 'Z'));

    t::RegSetDword(HKEY_LOCAL_MACHINE, kKey, kMainShortcut, 5);  // wrong type: the default
    SetHotkey(window_, state_, kHotkeyMain, true);
    EXPECT_TRUE(state_.slots[kHotkeyMain].registered);
    EXPECT_FALSE(IsFree(MOD_ALT | MOD_SHIFT, 'Z'));
    // The two indexes carry their own atoms.
    EXPECT_NE(state_.slots[kHotkeyMain].atom, state_.slots[kHotkeyLocate].atom);
    EXPECT_EQ(HotkeyIndexForId(state_, static_cast<WPARAM>(state_.slots[kHotkeyMain].atom)), kHotkeyMain);
    EXPECT_EQ(HotkeyIndexForId(state_, static_cast<WPARAM>(state_.slots[kHotkeyLocate].atom)), kHotkeyLocate);
    EXPECT_EQ(HotkeyIndexForId(state_, 0), -1);
}

TEST_F(Hotkeys, RegisteringAnIndexAgainReleasesTheEarlierAtomAndCombination) {
    Store(kHotkeyMain, L"17,16,65");
    SetHotkey(window_, state_, kHotkeyMain, true);
    ASSERT_TRUE(state_.slots[kHotkeyMain].registered);
    Store(kHotkeyMain, L"17,16,66");
    SetHotkey(window_, state_, kHotkeyMain, true);
    EXPECT_TRUE(state_.slots[kHotkeyMain].registered);
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_SHIFT, 'A')) << "the earlier combination is still held";
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_SHIFT, 'B'));
    // Atoms are reference-counted: one left over from the first registration would outlive
    // the release below.
    ReleaseHotkeys(window_, state_);
    EXPECT_FALSE(AtomNameExists(kHotkeyMain));
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_SHIFT, 'B'));

    // Switching off releases the atom but keeps the last result for the settings dialog.
    SetHotkey(window_, state_, kHotkeyMain, true);
    SetHotkey(window_, state_, kHotkeyMain, false);
    EXPECT_EQ(state_.slots[kHotkeyMain].atom, -1);
    EXPECT_TRUE(state_.slots[kHotkeyMain].registered);
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_SHIFT, 'B'));

    // Indexes beyond the table are ignored.
    SetHotkey(window_, state_, 2, true);
    SetHotkey(window_, state_, -1, true);
    EXPECT_EQ(state_.slots[kHotkeyLocate].atom, -1);
}

TEST_F(Hotkeys, ACombinationAnotherProgramHoldsLeavesRegisteredFalse) {
    t::ChildProcess holder =
        t::ChildProcess::Start(t::ToolsDir() + L"hotkeyholder.exe", FormatW(L"%u 75", MOD_CONTROL | MOD_ALT), true);
    ASSERT_TRUE(holder.valid());
    ASSERT_EQ(holder.ReadLine(10s), std::optional<std::string>("ok"));

    Store(kHotkeyLocate, L"17,18,75");
    SetHotkey(window_, state_, kHotkeyLocate, true);
    EXPECT_FALSE(state_.slots[kHotkeyLocate].registered);
    EXPECT_NE(state_.slots[kHotkeyLocate].atom, -1) << "the atom is kept for the next attempt";
    EXPECT_EQ(t::RegGetString(HKEY_LOCAL_MACHINE, kKey, kLocateShortcut), L"17,18,75") << "the value is kept";

    // Once the other program lets go, registering again succeeds.
    holder.WriteLine("quit");
    ASSERT_TRUE(holder.WaitExit(10s).has_value());
    SetHotkey(window_, state_, kHotkeyLocate, true);
    EXPECT_TRUE(state_.slots[kHotkeyLocate].registered);
}

TEST(HotkeyModifiers, CountOnlyInTheirOwnPosition) {
    EXPECT_EQ(HotkeyModifiers(18, 16), static_cast<UINT>(MOD_ALT | MOD_SHIFT));
    EXPECT_EQ(HotkeyModifiers(17, 16), static_cast<UINT>(MOD_CONTROL | MOD_SHIFT));
    EXPECT_EQ(HotkeyModifiers(17, 18), static_cast<UINT>(MOD_CONTROL | MOD_ALT));
    EXPECT_EQ(HotkeyModifiers(-1, 16), static_cast<UINT>(MOD_SHIFT));
    EXPECT_EQ(HotkeyModifiers(16, 17), 0u);
    EXPECT_EQ(HotkeyModifiers(18, 18), static_cast<UINT>(MOD_ALT));
}

}  // namespace
