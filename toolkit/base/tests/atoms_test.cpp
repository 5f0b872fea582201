#include "toolkit/base/atoms.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

// The predefined names by id range, as the vocabulary is documented: each name's id is its range's
// first id plus its position. Kept apart from atoms.inc so a slip in either shows up here.
struct Range {
    oxAtom first;
    std::vector<const char16_t*> names;
};

// clang-format off
const Range kRanges[] = {
    {1006, {
        u"accessKey", u"accRole", u"active", u"affineLayout", u"alternateRow", u"alwaysOnTop", u"axis",
        u"blockEvents", u"boxCaptured", u"characterWrap", u"chromaKey", u"chromeless", u"closable", u"closed",
        u"clsid", u"collapsed", u"constrainProportions", u"context", u"current", u"cursorIndex", u"cursorMode",
        u"defaultButton", u"defaultStyle", u"deflated", u"dir", u"disabled", u"dock", u"dragged", u"dragHovered",
        u"dragMode", u"editable", u"elementHeight", u"elementWidth", u"embedded", u"engaged", u"expanded", u"filter",
        u"fixedRowSize", u"floating", u"focused", u"focusMode", u"forceNoLayering", u"framed", u"framesRepeatCount",
        u"fullScreen", u"gid", u"grew", u"hidden", u"hovered", u"href", u"html", u"htmlValue", u"htmlVer",
        u"imeDisabled", u"icon", u"nativeIcon", u"id", u"ignoreEvents", u"index", u"invalidData", u"invalidInput",
        u"itemSelected", u"justify", u"label", u"liveResize", u"max", u"maxlength", u"maximizable", u"maximized",
        u"message", u"min", u"minimizable", u"minimized", u"modified", u"movable", u"mshtmlExtensions",
        u"objectLibrary", u"opened", u"ornament", u"overflowed", u"pageNumRows", u"plaintext", u"popped",
        u"popupAlign", u"pressed", u"progid", u"keepSourceImg", u"resizable", u"reversed", u"rightMouseMode",
        u"scale", u"scrollOffsetX", u"scrollOffsetY", u"scrollRowChanged", u"security", u"selectableMode",
        u"selected", u"selectedIndex", u"selectOnMouseUp", u"selectMode", u"tabBound", u"textSmoothing",
        u"showNoActivate", u"snapToBox", u"snapToBoxClass", u"snapToBoxOrder", u"snapToOffset", u"snapToWorkspace",
        u"src", u"srcRect", u"style", u"tag", u"text", u"title", u"toggled", u"toggleMode", u"topIndex",
        u"tooltipText", u"transform", u"translucent", u"value", u"view", u"wantTab", u"wantEnter", u"windowless",
        u"wordwrap", u"clearSelectionOnBlankClick", u"noScale",
    }},
    {1136, {
        u"affineQuality", u"animate", u"animateExit", u"bevelColor", u"bevelCornerRadius", u"bevelLeft",
        u"bevelRadius", u"bevelOpacity", u"bevelTop", u"bold", u"bottom", u"clip", u"clipBottom", u"clipLeft",
        u"clipMode", u"clipRight", u"clipTop", u"color", u"colorAdd", u"colorSaturation", u"colorScaleA",
        u"colorScaleB", u"colorScaleG", u"colorScaleR", u"colorSubtract", u"cornerRadius", u"cover", u"crop",
        u"cursor", u"direction", u"family", u"fill", u"fillCornerRadius", u"fillCornerRadiusBottom",
        u"fillCornerRadiusLeft", u"fillCornerRadiusRight", u"fillCornerRadiusTop", u"fillRepeat",
        u"fillRepeatOriginX", u"fillRepeatOriginY", u"fillSize", u"fillSlice", u"fillSliceBottom", u"fillSliceLeft",
        u"fillSliceRight", u"fillSliceTop", u"flex", u"flip", u"focus", u"fontBold", u"fontFamily", u"fontItalics",
        u"fontSize", u"fontUnderline", u"hAlign", u"height", u"highlightColor", u"highlightString", u"hSpace",
        u"italics", u"italic", u"layer", u"left", u"margin", u"marginBottom", u"marginLeft", u"marginRight",
        u"marginTop", u"mask", u"maxHeight", u"maxWidth", u"minHeight", u"minWidth", u"mirror", u"offset",
        u"offsetBottom", u"offsetLeft", u"offsetRight", u"offsetTop", u"opacity", u"orient", u"orientation",
        u"overflow", u"padding", u"paddingBottom", u"paddingLeft", u"paddingRight", u"paddingTop", u"position",
        u"region", u"regionRepeat", u"regionRepeatOriginX", u"regionRepeatOriginY", u"regionSize", u"regionSlice",
        u"right", u"rotation", u"shadowColor", u"shadowFillCenter", u"shadowKeying", u"shadowLeft", u"shadowOpacity",
        u"shadowRadius", u"shadowTop", u"size", u"shadowOffsetX", u"shadowOffsetY", u"stroke", u"strokeCornerRadius",
        u"strokeCornerRadiusBottom", u"strokeCornerRadiusLeft", u"strokeCornerRadiusRight", u"strokeCornerRadiusTop",
        u"strokeLayer", u"strokePattern", u"strokeWidth", u"textColor", u"textHighlight", u"textHighlightString",
        u"textOrientation", u"textShadowColor", u"textShadowOffsetX", u"textShadowOffsetY", u"top", u"underline",
        u"vAlign", u"vSpace", u"width", u"zIndex",
    }},
    {1266, {
        u"animateMotion", u"animation", u"attribute", u"attributes", u"behavior", u"bitmap", u"weftly", u"code",
        u"command", u"commandGroup", u"content", u"font", u"gadget", u"instance", u"imageElement", u"import",
        u"keyGroup", u"library", u"param", u"part", u"parts", u"persists", u"reaction", u"recurse", u"script",
        u"scrollbar", u"set", u"state", u"styleProps", u"thumb", u"trace", u"vectorFont",
    }},
    {1298, {
        u"accAcceleratorAt", u"accAction", u"accDefaultAction", u"accDescription", u"accKeyboardShortcut",
        u"accLibrary", u"accName", u"accNameAt", u"accReadText", u"accStyleFor", u"accStyles", u"accTheme",
        u"accUseLabel", u"accValue", u"accValueAt",
    }},
    {1313, {
        u"alert", u"application", u"border", u"bstrWnd", u"buttonDropDown", u"buttonDropDownGrid", u"buttonMenu",
        u"caret", u"cell", u"character", u"chart", u"checkButton", u"client", u"clock", u"column", u"columnHeader",
        u"comboBox", u"diagram", u"dial", u"dialog", u"document", u"dropList", u"equation", u"graphic", u"grip",
        u"grouping", u"helpBalloon", u"hotkeyField", u"ignore", u"indicator", u"ipAddress", u"link", u"list",
        u"listItem", u"menuItem", u"menuPopup", u"outline", u"outlineButton", u"outlineItem", u"pageTab",
        u"pageTabList", u"pane", u"progressBar", u"propertyPage", u"pushButton", u"radioButton", u"radioGroup",
        u"row", u"rowHeader", u"smartBox", u"separator", u"slider", u"spinButton", u"splitButton", u"sound",
        u"staticText", u"statusbar", u"table", u"thumbHeight", u"thumbWidth", u"titleBar", u"toolbar", u"whiteSpace",
    }},
    {1376, {
        u"accNameChange", u"activated", u"anchor", u"animationExit", u"appActivated", u"appDeactivated",
        u"attributeSet", u"backward", u"blur", u"boxCreated", u"boxDestroyed", u"boxHeightCollapse",
        u"boxHeightExpand", u"cancel", u"captureReleased", u"click", u"constructed", u"contextChanged",
        u"contextMenu", u"deactivated", u"destroyed", u"displayChanged", u"doubleClick", u"dragDrop", u"dragMove",
        u"dragOut", u"dragOver", u"dragStart", u"dragStop", u"event", u"firstFrame", u"forward", u"frame",
        u"hoverHold", u"initialized", u"keyDown", u"keyPress", u"keyUp", u"lastFrame", u"layout", u"menuChar",
        u"menuEnding", u"menuStarting", u"mouseActivate", u"mouseDown", u"mouseDrag", u"mouseMove", u"mouseOut",
        u"mouseOver", u"mousePress", u"mouseReleased", u"mouseUp", u"mouseWheel", u"moved", u"navigate",
        u"dhtmlSecurity", u"parsed", u"pause", u"play", u"popping", u"presented", u"pressHold", u"readyStateChanged",
        u"resize", u"resized", u"sceneChanged", u"shutting", u"stop", u"sysKeyUp", u"sysKeyDown", u"system",
        u"toggle", u"urlLoadComplete", u"menuCommand",
    }},
    {1450, {
        u"binding", u"collectionSource", u"elementSource", u"full", u"hasProperty", u"lazy", u"objectSource",
        u"onBlur", u"onDataChanged", u"onDemand", u"oneTime", u"oneWay", u"path", u"recycle", u"replication",
        u"sourceTransformer", u"targetProperty", u"targetTransformer", u"template", u"twoWay", u"validator",
        u"xmlSource",
    }},
    {1473, {
        u"box", u"collapsedContainer", u"columns", u"control", u"deck", u"dhtml", u"embeddedScene", u"frameBox",
        u"handle", u"hbox", u"image", u"input", u"menu", u"menuBar", u"MDIContainer", u"nativeText", u"object",
        u"popup", u"range", u"rows", u"select", u"simpleText", u"twisty", u"vectorText", u"vbox", u"window",
    }},
    {1500, {
        u"autoTooltip", u"center", u"copy", u"cut", u"del", u"enablerich", u"expandable", u"expandedHeight",
        u"hscrollable", u"hscrollbar", u"multiline", u"password", u"paste", u"readonly", u"selectAll", u"undo",
        u"vscrollable", u"vscrollbar",
    }},
    {1518, {
        u"after_end", u"after_point", u"after_start", u"at_point", u"before_end", u"before_start",
        u"cursor_hcenter_bottom", u"cursor_hcenter_top", u"cursor_hcenter_vcenter", u"cursor_left_bottom",
        u"cursor_left_top", u"cursor_left_vcenter", u"cursor_right_bottom", u"cursor_right_top",
        u"cursor_right_vcenter", u"end_after", u"end_before", u"none", u"overlap", u"selectablePopupChild",
        u"start_after", u"start_before", u"tooltip",
    }},
    {1541, {
        u"angle", u"gradientStop", u"gradientStops", u"imageBrush", u"imageList", u"imageListElement",
        u"linearGradientBrush", u"pen", u"radialGradientBrush", u"reliefPen", u"rotateTransform", u"scaleTransform",
        u"solidBrush", u"translateTransform",
    }},
    {1555, {
        u"_child", u"_control", u"_gadget", u"_gadgetParent", u"_nextSibling", u"_none", u"_parent", u"_prevSibling",
        u"_root", u"_self",
    }},
    {1565, {
        u"action", u"accelChar", u"accelText", u"antiAlias", u"autoMargin", u"begin", u"both", u"by", u"calcMode",
        u"cancelButton", u"clearType", u"colFlex", u"collapsable", u"collapseWeight", u"colspan", u"customTooltip",
        u"desktop", u"dockAffinity", u"dur", u"dynamics", u"fps", u"from", u"end", u"header", u"ignoreMouseDown",
        u"inherits", u"instantTooltip", u"javascript", u"jscript", u"language", u"maxColumns", u"match", u"method",
        u"move", u"monitor", u"name", u"nativeObject", u"next", u"overflowX", u"overflowY", u"overflowYAfterAdjust",
        u"paging", u"pattern", u"pressHoldDelay", u"property", u"repeatCount", u"repeatDur", u"rotate", u"rtl",
        u"rtlFormatting", u"scrollbarStyle", u"scrollBoth", u"split", u"stopPropagation", u"subMenu", u"tabIndex",
        u"target", u"treeIndent", u"tristate", u"to", u"toolkit", u"tooltipAlign", u"translate", u"type", u"update",
        u"x", u"y", u"enableTransitions", u"nudgeAllColumns",
    }},
    {1634, {
        u"alt", u"attributeName", u"button", u"change", u"close", u"ctrl", u"detail", u"exit", u"increase", u"key",
        u"keyCode", u"maximize", u"minimize", u"override", u"restore", u"shift",
    }},
    {1650, {
        u"datagrid", u"datacolgrid", u"flow", u"grid", u"mdi",
    }},
    {1655, {
        u"activeXFrame", u"dhtmlFrame", u"windowFrame",
    }},
    {1658, {
        u"ee", u"file", u"theme", u"themes", u"themeLibrary", u"numerator", u"selection",
    }},
};
// clang-format on

std::u16string NameOf(oxAtom atom) {
    WCHAR buffer[256];
    return oxAtoms::GetName(atom, buffer, 256) ? std::u16string(buffer) : u"<none>";
}

class oxAtomsTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::Clear();
        oxAtoms::RegisterPredefined();
    }
    void TearDown() override { oxAtoms::Clear(); }
};

TEST_F(oxAtomsTest, EveryPredefinedNameHasItsFixedId) {
    std::set<oxAtom> listed = {1001, 1002, 1003, 1004};
    for (const Range& range : kRanges) {
        for (size_t i = 0; i < range.names.size(); ++i) {
            const auto id = static_cast<oxAtom>(range.first + i);
            const char16_t* name = range.names[i];
            EXPECT_EQ(oxAtoms::Find(name), id) << std::string(name, name + std::char_traits<char16_t>::length(name));
            EXPECT_EQ(NameOf(id), name);
            EXPECT_TRUE(listed.insert(id).second) << id << " listed twice";
        }
    }
    EXPECT_EQ(listed.size(), 658u);
    for (oxAtom id = 1000; id <= 1665; ++id) {
        WCHAR buffer[256];
        EXPECT_EQ(oxAtoms::GetName(id, buffer, 256), listed.count(id) ? 1 : 0) << id;
    }
    const std::u16string paths[] = {u"/weftly/box.xsd", u"/weftly/resource.xsd", u"/weftly/style.xsd",
                                    u"/weftly/reaction.xsd"};
    for (oxAtom id = 1001; id <= 1004; ++id) {
        std::u16string uri = NameOf(id);
        const std::u16string& path = paths[id - 1001];
        ASSERT_GT(uri.size(), path.size());
        EXPECT_EQ(uri.substr(uri.size() - path.size()), path);
        EXPECT_EQ(oxAtoms::Find(uri.c_str()), id);
    }
    // The constants the code switches on.
    EXPECT_EQ(kAtomId, 1062);
    EXPECT_EQ(kAtomClick, 1391);
    EXPECT_EQ(kAtomMouseDown, 1420);
    EXPECT_EQ(kAtomBox, 1473);
    EXPECT_EQ(kAtomWindow, 1498);
    EXPECT_EQ(kAtomJavascript, 1592);
    EXPECT_EQ(kAtomNativeObject, 1601);
    EXPECT_EQ(kAtomX, 1630);
    EXPECT_EQ(kAtomEe, 1658);
    EXPECT_EQ(kAtomSelection, 1664);
}

TEST_F(oxAtomsTest, MatchingIgnoresCaseAndKeepsTheFirstSpelling) {
    struct Case {
        const char16_t* name;
        oxAtom atom;
    } cases[] = {
        {u"Click", 1391},   {u"CLICK", 1391}, {u"click", 1391}, {u"mdicontainer", 1487}, {u"AFTER_END", 1518},
        {u"_PARENT", 1561}, {u"X", 1630},     {u"clic", 0},     {u"clicks", 0},          {u"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(oxAtoms::Find(c.name), c.atom);
    EXPECT_EQ(oxAtoms::Find(nullptr), 0);
    EXPECT_EQ(oxAtoms::Intern(u"CLICK"), 1391);
    EXPECT_EQ(NameOf(1391), u"click");
    EXPECT_EQ(NameOf(kAtomMDIContainer), u"MDIContainer");
}

TEST_F(oxAtomsTest, NewNamesGetTheNextIdsAndMatchWithoutCase) {
    oxAtom foo = oxAtoms::Intern(u"fooBar");
    EXPECT_GE(foo, oxAtoms::kFirstDynamicAtom);
    EXPECT_EQ(oxAtoms::Intern(u"FOOBAR"), foo);
    EXPECT_EQ(NameOf(foo), u"fooBar");
    EXPECT_EQ(oxAtoms::Intern(u""), 0);
    EXPECT_EQ(oxAtoms::Intern(nullptr), 0);
    EXPECT_EQ(oxAtoms::Intern(u"Привет"), foo + 1); // empty names used no id
    EXPECT_EQ(oxAtoms::Find(u"ПРИВЕТ"), foo + 1);
    EXPECT_EQ(oxAtoms::Find(u"привет"), foo + 1);
    EXPECT_EQ(NameOf(foo + 1), u"Привет");
    EXPECT_EQ(oxAtoms::Find(u"ΣΟΦΊΑ"), 0);
    EXPECT_EQ(oxAtoms::Intern(u"σοφία"), oxAtoms::Intern(u"ΣΟΦΊΑ"));
}

// Long names are found again like short ones, so repeating one takes no new id; names too long to
// be names are refused outright.
TEST_F(oxAtomsTest, LongNamesAreFoundAgainAndOverlongOnesRefused) {
    std::u16string at255(255, u'a'), at256(256, u'b'), atMax(oxAtoms::kMaxNameUnits, u'C');
    std::u16string over(oxAtoms::kMaxNameUnits + 1, u'd');
    for (const std::u16string& name : {at255, at256, atMax}) {
        oxAtom a = oxAtoms::Intern(name.c_str());
        ASSERT_NE(a, 0) << name.size();
        EXPECT_EQ(oxAtoms::Intern(name.c_str()), a);
        EXPECT_EQ(oxAtoms::Find(name.c_str()), a);
    }
    std::u16string lower(atMax.size(), u'c');
    EXPECT_EQ(oxAtoms::Find(lower.c_str()), oxAtoms::Find(atMax.c_str()));
    EXPECT_EQ(NameOf(oxAtoms::Find(at256.c_str())), at256.substr(0, 255)); // 256-unit buffers hold 255 units
    oxAtom next = oxAtoms::Intern(u"afterLong");
    EXPECT_EQ(oxAtoms::Intern(over.c_str()), 0);
    EXPECT_EQ(oxAtoms::Find(over.c_str()), 0);
    EXPECT_EQ(oxAtoms::Intern(u"afterOver"), next + 1); // the refused name used no id
}

// A failed document gives its names back; one that succeeded, nested in it or not, keeps them.
TEST_F(oxAtomsTest, FailedDocumentsGiveTheirNamesBack) {
    oxAtom before = oxAtoms::Intern(u"beforeAll");
    uint32_t outer = oxAtoms::BeginDocument();
    oxAtom a = oxAtoms::Intern(u"outerName");
    uint32_t inner = oxAtoms::BeginDocument();
    oxAtom b = oxAtoms::Intern(u"innerName");
    oxAtoms::EndDocument(inner, false);
    oxAtom c = oxAtoms::Intern(u"outerLate");
    uint32_t failing = oxAtoms::BeginDocument();
    oxAtoms::Intern(u"failingName");
    oxAtoms::EndDocument(failing, true);
    EXPECT_EQ(oxAtoms::Find(u"failingName"), 0);
    EXPECT_EQ(oxAtoms::Find(u"innerName"), b);
    oxAtoms::EndDocument(outer, true);
    EXPECT_EQ(oxAtoms::Find(u"beforeAll"), before);
    EXPECT_EQ(oxAtoms::Find(u"outerName"), a);
    EXPECT_EQ(oxAtoms::Find(u"innerName"), b);
    EXPECT_EQ(oxAtoms::Find(u"outerLate"), 0);
    EXPECT_EQ(NameOf(c), u"<none>");
    EXPECT_EQ(oxAtoms::Intern(u"reused"), c); // the id is free again
    EXPECT_EQ(oxAtoms::TakeRefusal(), oxAtoms::Refusal::kNone);
}

// A document cannot leave the process without ids, nor fill memory with names: it stops short of
// the reserve and of the units budget, and once it fails the ids are free again.
TEST_F(oxAtomsTest, ADocumentStopsShortOfTheReserveAndTheNameBudget) {
    oxAtoms::Reset();
    oxAtoms::RegisterPredefined();
    uint32_t mark = oxAtoms::BeginDocument();
    uint32_t made = 0;
    for (;; ++made) {
        std::string digits = "d" + std::to_string(made);
        std::u16string name(digits.begin(), digits.end());
        if (!oxAtoms::Intern(name.c_str())) break;
    }
    EXPECT_EQ(made, 0x10000 - oxAtoms::kReservedAtoms - oxAtoms::kFirstDynamicAtom);
    EXPECT_EQ(oxAtoms::TakeRefusal(), oxAtoms::Refusal::kExhausted);
    oxAtoms::EndDocument(mark, true);
    EXPECT_EQ(oxAtoms::Intern(u"afterwards"), oxAtoms::kFirstDynamicAtom);

    mark = oxAtoms::BeginDocument();
    std::u16string name(oxAtoms::kMaxNameUnits - 1, u'x');
    size_t units = 0;
    for (int i = 0; oxAtoms::Intern((name + char16_t(0x4E00 + i)).c_str()); ++i)
        units += name.size() + 1;
    EXPECT_LE(units, oxAtoms::kDocumentNameUnits);
    EXPECT_GT(units + 2 * (name.size() + 1), oxAtoms::kDocumentNameUnits); // "afterwards" counts too
    EXPECT_EQ(oxAtoms::TakeRefusal(), oxAtoms::Refusal::kExhausted);
    EXPECT_EQ(oxAtoms::Intern((name + name).c_str()), 0);
    EXPECT_EQ(oxAtoms::TakeRefusal(), oxAtoms::Refusal::kTooLong);
    oxAtoms::EndDocument(mark, true);
    EXPECT_EQ(oxAtoms::Intern(u"againAfterwards"), oxAtoms::kFirstDynamicAtom + 1);
}

TEST_F(oxAtomsTest, GetNameTruncatesToTheBuffer) {
    WCHAR buffer[4] = {u'?', u'?', u'?', u'?'};
    ASSERT_EQ(oxAtoms::GetName(kAtomWindow, buffer, 4), 1);
    EXPECT_EQ(std::u16string(buffer), u"win");
    EXPECT_EQ(oxAtoms::GetName(kAtomWindow, buffer, 0), 0);
    EXPECT_EQ(oxAtoms::GetName(1005, buffer, 4), 0);
    EXPECT_EQ(oxAtoms::GetName(0, buffer, 4), 0);
}

TEST_F(oxAtomsTest, ClearForgetsNamesButNotTheIdCounter) {
    oxAtom before = oxAtoms::Intern(u"someName");
    oxAtoms::Clear();
    EXPECT_EQ(oxAtoms::Find(u"click"), 0);
    EXPECT_EQ(oxAtoms::Find(u"someName"), 0);
    EXPECT_EQ(NameOf(before), u"<none>");
    oxAtoms::RegisterPredefined();
    EXPECT_EQ(oxAtoms::Find(u"click"), 1391);
    EXPECT_EQ(oxAtoms::Intern(u"someName"), before + 1);
}

TEST_F(oxAtomsTest, AddStoresBothWaysAndReplacesTheAtomOfAKnownName) {
    oxAtoms::AddNarrow("Größe", 3000);
    EXPECT_EQ(oxAtoms::Find(u"GRÖßE"), 3000);
    EXPECT_EQ(NameOf(3000), u"Größe");
    oxAtoms::Add(u"Größe", 3001);
    EXPECT_EQ(oxAtoms::Find(u"größe"), 3001);
    EXPECT_EQ(NameOf(3000), u"Größe"); // the old id keeps its name
}

// Dynamic ids count from 1665 in a table that has given none out yet. The counter only grows, so
// this runs in a fresh process.
TEST(oxAtomsFreshTable, FirstDynamicIdIs1665) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            oxAtoms::RegisterPredefined();
            bool ok = oxAtoms::Intern(u"fooBar") == 1665 && oxAtoms::Intern(u"FOOBAR") == 1665 &&
                      oxAtoms::Intern(u"second") == 1666;
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Once every 16-bit id is given out, new names get no atom instead of wrapping onto predefined ids.
TEST(oxAtomsFreshTable, IdsDoNotWrapAround) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            oxAtoms::RegisterPredefined();
            bool ok = true;
            for (uint32_t id = 1665; id <= 0xFFFF && ok; ++id) {
                std::string digits = "n" + std::to_string(id);
                std::u16string name(digits.begin(), digits.end());
                ok = oxAtoms::Intern(name.c_str()) == id;
            }
            ok = ok && oxAtoms::Intern(u"oneTooMany") == 0 && oxAtoms::Find(u"oneTooMany") == 0 &&
                 oxAtoms::Find(u"click") == kAtomClick;
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
