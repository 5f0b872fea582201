// Native menus: access keys taken from and put back into labels, items that keep changing their
// own entry of the menu, separators, and submenus attached and detached.
#include "toolkit/widgets/native_menu.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string Shown(HMENU menu, int position) {
    WCHAR text[64] = {};
    GetMenuStringW(menu, UINT(position), text, 64, MF_BYPOSITION);
    return text;
}

struct Held {
    explicit Held(oxNativeMenuItem* i) : item(i) { item->AddRef(); }
    ~Held() { item->Release(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    oxNativeMenuItem* operator->() const { return item; }
    oxNativeMenuItem* item;
};

class NativeMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        menu = new oxNativeMenu();
        menu->AddRef();
        ASSERT_TRUE(menu->Create(true));
    }
    void TearDown() override { menu->Release(); }
    void Fill(int n) {
        for (int i = 0; i < n; ++i) {
            Held item(menu->CreateItem(uint32_t(100 + i), u"Item" + std::u16string(1, char16_t(u'A' + i)), u"", u""));
            ASSERT_TRUE(menu->InsertItem(i, item.item));
        }
    }
    oxNativeMenu* menu = nullptr;
};

TEST_F(NativeMenuTest, AnAccessKeyLeavesTheLabelAndComesBackWhenShown) {
    Held item(menu->CreateItem(5, u"&File", u"F", u""));
    EXPECT_EQ(item->GetLabel(), u"File");
    EXPECT_EQ(item->GetAccessKey(), u"F");
    ASSERT_TRUE(menu->InsertItem(0, item.item));
    EXPECT_EQ(Shown(menu->GetHandle(), 0), u"&File");
    Held read(menu->GetItem(0));
    EXPECT_EQ(read->GetId(), 5u);
    EXPECT_EQ(read->GetLabel(), u"File");
    EXPECT_EQ(read->GetAccessKey(), u"F");
}

TEST_F(NativeMenuTest, ALabelChangeRewritesTheItemsOwnEntryWithItsAccessKey) {
    Fill(2);
    Held item(menu->CreateItem(7, u"Send", u"", u""));
    ASSERT_TRUE(menu->InsertItem(2, item.item));
    item->SetLabel(u"Op&en");
    EXPECT_EQ(item->GetLabel(), u"Open");
    EXPECT_EQ(item->GetAccessKey(), u"e");
    EXPECT_EQ(Shown(menu->GetHandle(), 2), u"Op&en") << "the third item changed";
    EXPECT_EQ(Shown(menu->GetHandle(), 0), u"ItemA") << "not the first";
    item->SetLabel(u"Save&");
    EXPECT_EQ(item->GetLabel(), u"Save&") << "a last ampersand is kept";
    EXPECT_EQ(item->GetAccessKey(), u"e") << "and the key stays as it was";
    EXPECT_EQ(GetMenuItemCount(menu->GetHandle()), 3);
}

TEST_F(NativeMenuTest, SeparatorsReadBackEmptyAndTakeNoSubmenu) {
    Held separator(menu->CreateSeparator());
    ASSERT_TRUE(menu->InsertItem(0, separator.item));
    Held read(menu->GetItem(0));
    EXPECT_TRUE(read->IsSeparator());
    EXPECT_TRUE(read->GetLabel().empty());
    auto* sub = new oxNativeMenu();
    sub->AddRef();
    ASSERT_TRUE(sub->Create(true));
    EXPECT_FALSE(menu->SetSubMenu(0, sub));
    sub->Release();
    EXPECT_EQ(menu->GetItem(5), nullptr);
}

TEST_F(NativeMenuTest, ASubmenuKeepsTheItemsIdAndGoesBackToAPlainItem) {
    Fill(3);
    EXPECT_FALSE(menu->SetSubMenu(2, nullptr)) << "no submenu to take away";
    auto* sub = new oxNativeMenu();
    sub->AddRef();
    ASSERT_TRUE(sub->Create(true));
    ASSERT_TRUE(menu->SetSubMenu(1, sub));
    sub->Release(); // the parent menu owns the submenu now
    oxNativeMenu* borrowed = menu->GetSubMenu(1);
    ASSERT_NE(borrowed, nullptr);
    borrowed->AddRef();
    HMENU handle = borrowed->GetHandle();
    borrowed->Release();
    EXPECT_TRUE(IsMenu(handle)) << "releasing a borrowed wrapper leaves the submenu alone";
    Held read(menu->GetItem(1));
    EXPECT_EQ(read->GetId(), 101u);
    EXPECT_EQ(read->GetLabel(), u"ItemB");
    ASSERT_TRUE(menu->SetSubMenu(1, nullptr));
    EXPECT_EQ(GetSubMenu(menu->GetHandle(), 1), nullptr);
    EXPECT_EQ(GetMenuItemID(menu->GetHandle(), 1), 101u);
    EXPECT_FALSE(IsMenu(handle)) << "a detached submenu is not left behind";
}

} // namespace
