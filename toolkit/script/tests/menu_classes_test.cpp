// The Menu and MenuItem script classes, called from a scene's scripts over a native menu that the
// test reads back from the platform.
#include "toolkit/script/menu_classes.h"

#include <gtest/gtest.h>

#include "platform/win/menu.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/script_api_fixture.h"
#include "toolkit/widgets/native_menu.h"

namespace script_api_test {
namespace {

constexpr const char* kBadParamCount = "error:8002000e";

class MenuClassesTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        scene = Open("scene_api.box", "api");
        ASSERT_NE(scene, nullptr);
        native = new oxNativeMenu();
        native->AddRef();
        ASSERT_TRUE(native->Create(true));
        Menu* object = MakeMenuObject(native);
        NUBO::XVariant out;
        ASSERT_EQ(shell()->AddDOMObject(NUBO::TWString(u"menu"), object, &out), 0);
        object->Release();
        ASSERT_TRUE(Run(scene, "var menu = shell.menu, item;"));
    }
    void TearDown() override {
        native->Release();
        ScriptApiTest::TearDown();
    }
    std::u16string Shown(int position) {
        WCHAR text[64] = {};
        GetMenuStringW(native->GetHandle(), UINT(position), text, 64, MF_BYPOSITION);
        return text;
    }
    oxScene* scene = nullptr;
    oxNativeMenu* native = nullptr;
};

TEST_F(MenuClassesTest, ItemsAreMadeInsertedReadAndRelabelledThroughTheirMenu) {
    const std::pair<std::string, const char*> cases[] = {
        {"(item = menu.createItem(5, '&File', 'F', '')).label", "string:File"},
        {"item.accesskey", "string:F"},
        {"item.isSeparator", "boolean:false"},
        {"menu.insertItem(0, item)", "boolean:true"},
        {"menu.insertItem(1, menu.createSeparator())", "boolean:true"},
        {"menu.insertItem(2, menu.createItem(7, 'Open'))", "boolean:true"},
        {"menu.insertItem(3, menu)", "boolean:false"}, // not an item
        {"(item = menu.getItem(1)).isSeparator", "boolean:true"},
        {"item.label + item.accesskey", "string:"},
        {"(item = menu.getItem(0)).id", "number:5"},
        {"item.label + '/' + item.accesskey", "string:File/F"},
        {"menu.getItem(9)", "null"},
        {"menu.setSubMenu(2, null)", "boolean:false"}, // it holds none
        {"menu.createItem(5)", kBadParamCount},
        {"menu.insertItem(0)", kBadParamCount},
        {"menu.getSubMenu(2)", "null"},
    };
    for (const auto& [expression, expected] : cases)
        EXPECT_EQ(Call(scene, expression), expected) << expression;
    EXPECT_EQ(Shown(0), u"&File") << "the access key is marked again in the menu";
    EXPECT_EQ(Shown(2), u"Open");
}

TEST_F(MenuClassesTest, ALabelSetLaterChangesTheItemAtItsOwnPosition) {
    ASSERT_TRUE(Run(scene, "menu.insertItem(0, menu.createItem(1, 'One'));"
                           "menu.insertItem(1, menu.createItem(2, 'Two'));"
                           "item = menu.createItem(3, 'Three');"
                           "menu.insertItem(2, item);"));
    EXPECT_EQ(Call(scene, "(item.label = 'Ex&it', item.label + '/' + item.accesskey)"), "string:Exit/i");
    EXPECT_EQ(Shown(2), u"Ex&it") << "the third item changed";
    EXPECT_EQ(Shown(0), u"One") << "not the first";
    // An ampersand at the end marks nothing: the text stays whole and the key as it was.
    EXPECT_EQ(Call(scene, "(item.label = 'Save&', item.label + '/' + item.accesskey)"), "string:Save&/i");
    EXPECT_EQ(Call(scene, "(item.id = 30, menu.getItem(2).id)"), "number:30");
}

TEST_F(MenuClassesTest, ASubmenuAttachedByScriptIsReadBackAndDetached) {
    ASSERT_TRUE(Run(scene, "menu.insertItem(0, menu.createItem(1, 'More'));"));
    auto* sub = new oxNativeMenu();
    sub->AddRef();
    ASSERT_TRUE(sub->Create(true));
    Menu* object = MakeMenuObject(sub);
    NUBO::XVariant out;
    ASSERT_EQ(shell()->AddDOMObject(NUBO::TWString(u"sub"), object, &out), 0);
    object->Release();
    sub->Release();
    EXPECT_EQ(Call(scene, "menu.setSubMenu(0, shell.sub)"), "boolean:true");
    EXPECT_EQ(Call(scene, "probe.className(menu.getSubMenu(0))"), "string:Menu");
    EXPECT_EQ(Call(scene, "menu.getItem(0).id"), "number:1") << "the id kept for the submenu's item";
    EXPECT_EQ(Call(scene, "menu.setSubMenu(0, 'none')"), "boolean:true") << "anything but a Menu detaches";
    EXPECT_EQ(GetSubMenu(native->GetHandle(), 0), nullptr);
    EXPECT_EQ(GetMenuItemID(native->GetHandle(), 0), 1u);
}

} // namespace
} // namespace script_api_test
