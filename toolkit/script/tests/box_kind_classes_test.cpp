// The script classes of box kinds called from a scene's scripts: ControlBox and TextBox on a
// control, an editable input box and a read-only text box; WindowBox and PopupBox on a window box
// and a popup; and what each member does once its box is gone.
#include <gtest/gtest.h>

#include <string>

#include "platform/shell/task_bar.h"
#include "runtime/ref_ptr.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/app_utils.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/script_api_fixture.h"

namespace script_api_test {
namespace {

constexpr const char* kBadParamCount = "error:8002000e";
constexpr const char* kFail = "error:80004005";

class BoxKindClassesTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        ASSERT_EQ(shell()->AddNamedObject(NUBO::TWString(u"appUtils"), utils.get()), 0); // for streams
        scene = Open("scene_api.box", "api");
        ASSERT_NE(scene, nullptr);
        ASSERT_TRUE(Run(scene, "var scene = " + Utf8(scene->GetContextName().GetString()) +
                                   ".scene, root = scene.rootBox;"
                                   "var c = scene.createBox('control'), i = scene.createBox('input'),"
                                   " t = scene.createBox('simpleText'), w = scene.createBox('window'),"
                                   " p = scene.createBox('popup'), p1 = scene.createBox('box'),"
                                   " p2 = scene.createBox('box');"
                                   "root.addChild(c); root.addChild(i); root.addChild(t);"
                                   "p.addChild(p1); p.addChild(p2); root.addChild(p);"));
    }
    void TearDown() override {
        ScriptApiTest::TearDown();
        platform::shell::ResetShell(); // the input box may have raised the input panel
    }
    void Check(const std::pair<std::string, std::string>* cases, size_t count) {
        for (size_t k = 0; k < count; k++)
            EXPECT_EQ(Call(scene, cases[k].first), cases[k].second) << cases[k].first;
    }
    oxScene* scene = nullptr;
    NUBO::RefPtr<AppUtils> utils = NUBO::RefPtr<AppUtils>::ref(new AppUtils());
};

TEST_F(BoxKindClassesTest, ControlMembers) {
    const std::pair<std::string, std::string> cases[] = {
        {"probe.className(c)", "string:ControlBox"},
        {"(c.value = 'x', c.value)", "string:x"},
        {"(c.value = 42, c.value)", "string:42"},
        {"(c.label = 'OK', c.label)", "string:OK"},
        {"c.getAttribute('label')", "string:OK"},
        {"c.toggled", "boolean:false"},
        {"(c.toggled = true, c.toggled)", "boolean:true"},
        {"(c.tristate = 258, c.tristate)", "number:2"},
        {"(c.tristate = 0, c.tristate + ' ' + c.toggled)", "string:0 false"},
        {"c.click()", "undefined"},
        {"c.command()", "undefined"},
        // A gone box fails its properties and ignores its methods.
        {"scene.destroyBox(c)", "boolean:true"},
        {"c.value", kFail},
        {"c.label = 'x'", kFail},
        {"c.tristate", kFail},
        {"c.click()", "undefined"},
        {"c.command()", "undefined"},
    };
    Check(cases, std::size(cases));
}

TEST_F(BoxKindClassesTest, TextMembersOnEditableAndReadOnlyText) {
    const std::pair<std::string, std::string> cases[] = {
        {"probe.className(i) + ' ' + probe.className(t)", "string:TextBox TextBox"},
        {"(i.value = 'abc', i.setCaretPos(1))", "boolean:true"},
        {"i.getCaretPos()", "number:1"},
        {"(i.replaceSelection('Z'), i.value)", "string:aZbc"},
        {"i.getCaretPos()", "number:2"},
        {"i.lineCount", "number:1"},
        {"i.getLineLength(0)", "number:4"},
        {"i.getLineFromPos(3)", "number:0"},
        {"(i.inputMode = 2, i.inputMode)", "number:2"},
        {"i.getLineLength()", kBadParamCount},
        {"i.replaceSelection()", kBadParamCount},
        // Read-only text: the editing members answer 0 and change nothing.
        {"(t.value = 'fixed', t.replaceSelection('x'), t.value)", "string:fixed"},
        {"t.getCaretPos() + ' ' + t.lineCount + ' ' + t.getLineLength(0)", "string:0 0 0"},
        {"t.setCaretPos(3)", "boolean:true"},
        {"(t.inputMode = 5, t.inputMode)", "number:0"},
        {"(t.label = 'L', t.label)", "string:L"},
        // Gone: the line members fail, the caret ones answer nothing.
        {"scene.destroyBox(i)", "boolean:true"},
        {"i.lineCount", kFail},
        {"i.getLineLength(0)", kFail},
        {"i.getCaretPos()", "undefined"},
        {"i.setCaretPos(0)", "boolean:false"},
        {"i.replaceSelection('x')", "undefined"},
    };
    Check(cases, std::size(cases));
}

TEST_F(BoxKindClassesTest, WindowMembers) {
    const std::pair<std::string, std::string> cases[] = {
        {"probe.className(w)", "string:WindowBox"},
        {"(w.title = 'Inbox', w.title + ' ' + w.getAttribute('title'))", "string:Inbox Inbox"},
        {"(w.dock = 'bottom', w.dock)", "string:bottom"},
        {"(w.dock = 'middle', w.dock)", "string:none"},
        {"(w.dockAffinity = 'monitor', w.dockAffinity)", "string:monitor"},
        {"(w.dockAffinity = 'elsewhere', w.dockAffinity)", "string:desktop"},
        {"(w.alwaysOnTop = true, w.alwaysOnTop)", "boolean:true"},
        {"(w.floating = true, w.floating)", "boolean:true"},
        {"(w.chromeless = true, w.chromeless)", "boolean:true"},
        {"(w.translucent = true, w.translucent)", "boolean:true"},
        {"(w.active = true, w.active)", "boolean:false"}, // no window of its own yet: nothing to activate
        {"w.notifyAutoHide('top') || w.setAutoHideBar('left') || w.setAutoHideBar('nowhere')", "boolean:false"},
        {"w.notifyAutoHide()", kBadParamCount},
        {"(w.minimize(), w.maximize(), w.restore(), w.bringToFront(true))", "undefined"},
        {"w.refreshMenu()", "boolean:false"},
        {"w.windowHandle", "undefined"},
        {"w.windowPlacement", "undefined"},
        {"w.windowPlacement = 'x'", kFail},
        {"w.menu", "null"},
        {"scene.destroyBox(w)", "boolean:true"},
        {"w.title", kFail},
        {"w.dock = 'top'", kFail},
        {"w.fitOnScreen()", "boolean:false"},
        {"w.bringToFront()", "undefined"},
    };
    Check(cases, std::size(cases));
}

TEST_F(BoxKindClassesTest, PopupMembers) {
    const std::pair<std::string, std::string> cases[] = {
        {"probe.className(p)", "string:PopupBox"},
        {"p.opened", "boolean:false"},
        {"p.currentPopupChild", "null"},
        {"(p.currentPopupChild = p1, p.currentPopupChild === p1)", "boolean:true"},
        {"p1.getAttribute('current')", "string:true"},
        {"(p.currentPopupChild = p2, p1.getAttribute('current') + ' ' + p2.getAttribute('current'))",
         "string:false true"},
        {"(p.currentPopupChild = 5, p.currentPopupChild)", "null"},
        {"p.firstPopupChild", "null"}, // neither child is selectable
        {"(p2.setAttribute('selectablePopupChild', 'true'), p.firstPopupChild)", "null"}, // closed: all hidden
        {"(p.opened = true, p.firstPopupChild === p2)", "boolean:true"},
        {"(p1.setAttribute('selectablePopupChild', 'true'), p.firstPopupChild === p1)", "boolean:true"},
        {"(p1.setAttribute('disabled', 'true'), p.firstPopupChild === p2)", "boolean:true"},
        {"scene.destroyBox(p)", "boolean:true"},
        {"p.opened", kFail},
        {"p.currentPopupChild", kFail},
        {"p.firstPopupChild", kFail},
    };
    Check(cases, std::size(cases));
}

// A range 200 long with a thumb of scale 25 in 0..100 (40 long): 80 pixels of travel are 50 ticks.
TEST_F(BoxKindClassesTest, RangeMembers) {
    ASSERT_TRUE(Run(scene, "var r = scene.createBox('range'); root.addChild(r);"
                           "r.setAttribute('max', '100'); r.setAttribute('scale', '25');"
                           "r.setStyle('orient', 'horizontal'); r.setStyle('width', '200'); r.setStyle('height', '10');"));
    scene->Layout();
    const std::pair<std::string, std::string> cases[] = {
        {"probe.className(r)", "string:RangeBox"},
        {"r.coordsToTicks(80)", "number:50"},
        {"r.coordsToTicks(-16)", "number:-10"},
        {"r.coordsToTicks()", kBadParamCount},
        {"r.pageSize", "number:25"},
        {"(r.setAttribute('pageNumRows', '7'), r.pageSize)", "number:7"},
        {"r.pagingDirection", "number:0"},
        {"(r.value = 150, r.value)", "string:100"},
        {"scene.destroyBox(r)", "boolean:true"},
        {"r.coordsToTicks(80)", "undefined"},
        {"r.pageSize", kFail},
        {"r.pagingDirection", kFail},
    };
    Check(cases, std::size(cases));
}

TEST_F(BoxKindClassesTest, HandleMembers) {
    ASSERT_TRUE(Run(scene, "var h = scene.createBox('handle'), a = scene.createBox('box'), b = scene.createBox('box');"
                           "root.addChild(a); root.addChild(h); root.addChild(b); a.id = 'left';"));
    const std::pair<std::string, std::string> cases[] = {
        {"probe.className(h)", "string:HandleBox"},
        {"h.referenceBox", kFail}, // none set
        {"h.setReferenceBox(5)", "boolean:false"},
        {"h.setReferenceBox(a)", "boolean:true"},
        {"h.referenceBox === a", "boolean:true"},
        {"(h.referenceBox = b, h.referenceBox === b)", "boolean:true"},
        {"(h.setAttribute('target', 'left'), h.target === a)", "boolean:true"},
        {"(h.setAttribute('next', '_nextSibling'), h.next === b)", "boolean:true"},
        {"(h.target = b, h.target === b)", "boolean:true"},
        {"(h.target = 'a', h.target === b)", "boolean:true"}, // not a box: ignored
        {"scene.destroyBox(h)", "boolean:true"},
        {"h.setReferenceBox(a)", "boolean:false"},
        {"h.target", kFail},
        {"h.next", kFail},
    };
    Check(cases, std::size(cases));
}

TEST_F(BoxKindClassesTest, ImageMembers) {
    ASSERT_TRUE(Run(scene, "var img = scene.createBox('image'); root.addChild(img);"));
    const std::pair<std::string, std::string> cases[] = {
        {"probe.className(img)", "string:ImageBox"},
        {"img.src", "string:"},
        {"(img.src = 'nothing.png', img.src.slice(-11))", "string:nothing.png"},
        {"img.intrinsicWidth + 'x' + img.intrinsicHeight", "string:0x0"}, // no such picture
        {"typeof img.boxWidth + ' ' + typeof img.boxHeight", "string:number number"},
        {"probe.className(img.bitmap) + ' ' + img.bitmap.src.slice(-11)", "string:Bitmap nothing.png"},
        {"(img.framesRepeatCount = 2, img.framesRepeatCount)", "number:3"},
        {"(img.framesRepeatCount = -5, img.framesRepeatCount)", "number:-1"},
        // A stream is decoded as the picture in place of the source; an object that is no stream
        // changes nothing.
        {"(img.src = appUtils.getResourceStream('box://" + package + "/green.png'), img.src)", "string:"},
        {"img.intrinsicWidth + 'x' + img.intrinsicHeight", "string:160x160"},
        {"(img.src = scene, img.intrinsicWidth)", "number:160"},
        {"img.height + ' ' + img.width", "string:0 0"},
        {"(img.height = 40, img.setStyle('width', 'aspect'), img.height + ' ' + img.width)",
         "string:40 aspect"},
        {"img.boxWidth", "number:40"},
        {"scene.destroyBox(img)", "boolean:true"},
        {"img.src", kFail},
        {"img.height", kFail},
        {"img.framesRepeatCount", kFail},
    };
    Check(cases, std::size(cases));
}

TEST_F(BoxKindClassesTest, LibraryAndResourceMembers) {
    oxScene* withLibrary = Open("library_api.box", "lib");
    ASSERT_NE(withLibrary, nullptr);
    ASSERT_TRUE(Run(withLibrary, "var lib = " + Utf8(withLibrary->GetContextName().GetString()) +
                                     ".scene.library, seen = [], r;"
                                     "function walk() { seen = []; for (r = lib.firstResource; r; r = lib.nextResource)"
                                     " seen.push(r.id); return seen.sort().join(); }"));
    const std::pair<std::string, std::string> cases[] = {
        {"probe.className(lib)", "string:Library"},
        {"lib.resourceCount", "number:3"},
        {"lib.nextResource", "undefined"}, // no walk started
        {"walk()", "string:cell,face,logo"},
        {"(lib.nextResource, lib.nextResource)", "undefined"}, // the walk stays at its end
        {"(r = lib.getResourceById('face'), probe.className(r) + ' ' + r.tag + ' ' + r.id)",
         "string:Bitmap bitmap face"},
        {"r.library === lib", "boolean:true"},
        {"probe.className(lib.getResourceById('cell')) + ' ' + lib.getResourceById('cell').tag",
         "string:ImageElement imageElement"},
        {"lib.getResourceById('nothing')", "undefined"},
        {"lib.getResourceById()", kBadParamCount},
        {"lib.addResource(r)", "boolean:false"}, // already listed: a library never owns one twice
        {"lib.addResource(5) || lib.addResource(lib)", "boolean:false"},
        {"(lib.firstResource, lib.removeResource(r))", "boolean:true"},
        {"lib.resourceCount + ' ' + lib.getResourceById('face')", "string:2 undefined"},
        {"r.id", kFail}, // its element went with it
        {"walk()", "string:cell,logo"},
        {"lib.removeResource(5)", "boolean:false"},
        // Bitmaps: their source, size and thumbnails.
        {"(r = lib.getResourceById('logo'), r.src.slice(-8))", "string:logo.png"},
        {"r.width + 'x' + r.height", "string:0x0"}, // no such file: nothing decoded
        {"r.keepSourceImg", "boolean:true"},
        // Its own style values: kept once set, dropped with a new style URL.
        {"r.getStyle('opacity').isNull", "boolean:true"},
        {"r.setStyle('opacity', '40') + ' ' + r.getStyle('opacity').intValue", "string:true 40"},
        {"r.setStyle('opacity', 'sideways') + ' ' + r.getStyle('opacity').intValue", "string:false 40"},
        {"r.getStyle('noSuchProperty').isNull", "boolean:true"},
        {"r.setStyle('opacity')", kBadParamCount},
        {"(r.styleURL = 'looks.box#shine', r.styleURL)", "string:looks.box#shine"},
        {"r.getStyle('opacity').isNull", "boolean:true"},
        {"(r.keepSourceImg = false, r.keepSourceImg)", "boolean:false"},
        {"r.setThumbSize(8, 8) && r.setThumbWidth(4) && r.setThumbHeight(4)", "boolean:true"},
        {"r.save('', 'png')", "boolean:false"},
        {"r.save('\\\\out.png', 'png')", "boolean:true"},
        {"r.setThumbSize(1)", kBadParamCount},
        {"(r.deleteBitmap(), r.src)", kFail},
        {"r.save('x', 'png') || r.setThumbWidth(3)", "boolean:false"},
        {"lib.resourceCount", "number:1"},
        // Image elements: index mode, then rectangle mode.
        {"(r = lib.getResourceById('cell'), r.index + ' ' + r.x + ' ' + r.src)", "string:2 0 #face"},
        {"(r.index = 4, r.index + ' ' + r.x)", "string:4 0"},
        {"(r.x = 10, r.x + ' ' + r.index)", "string:10 0"},
        {"(r.width = 7, r.height = 5, r.y = 3, [r.x, r.y, r.width, r.height].join())", "string:10,3,7,5"},
        {"(r.width = '', r.width)", "number:7"}, // no value: refused
    };
    for (const auto& c : cases)
        EXPECT_EQ(Call(withLibrary, c.first), c.second) << c.first;
}

TEST_F(BoxKindClassesTest, GadgetsListTheirDeclaredAttributes) {
    oxScene* withGadgets = Open("gadget_api.box", "gadgets");
    ASSERT_NE(withGadgets, nullptr);
    ASSERT_TRUE(Run(withGadgets, "var lib = " + Utf8(withGadgets->GetContextName().GetString()) +
                                     ".scene.library, g, d;"));
    const std::pair<std::string, std::string> cases[] = {
        {"(g = lib.getResourceById('card'), probe.className(g) + ' ' + g.tag)", "string:Gadget gadget"},
        {"(d = g.attributeList, [d.tone, d.kind, '(' + d.title + ')', d.allKeys().count].join())", "string:plain,card,(),3"},
        {"g.attributeList === g.attributeList", "boolean:false"}, // a new dictionary each time
        {"lib.getResourceById('bare').attributeList", "undefined"},
        {"(lib.removeResource(g), g.attributeList)", kFail},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Call(withGadgets, c.first), c.second) << c.first;
}

} // namespace
} // namespace script_api_test
