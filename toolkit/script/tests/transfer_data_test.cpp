// The TransferData script class: a drag's data as its drop target's handler reads it.
#include <gtest/gtest.h>

#include "runtime/stream.h"
#include "toolkit/core/box.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/transfer_data.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/tests/script_api_fixture.h"

namespace script_api_test {
namespace {

class TransferDataTest : public ScriptApiTest {};

TEST_F(TransferDataTest, ADropTargetReadsTheDataItsDragCarries) {
    oxScene* scene = Open("commands.box", "drop");
    ASSERT_NE(scene, nullptr);
    ASSERT_TRUE(Run(scene, "var scene = " + Utf8(scene->GetContextName().GetString()) + ".scene, data, plain;"
                           "function onDrop(e) { data = e.sourceData; }"
                           "function onPlain(e) { plain = e.sourceData; }"
                           "scene.getBoxById('a').addEventHandler('dragDrop', 'onDrop');"
                           "scene.getBoxById('a').addEventHandler('dragOver', 'onPlain');"));
    oxTransferData* carried = oxTransferData::Create();
    ASSERT_NE(carried, nullptr);
    ASSERT_TRUE(carried->AddString(u"text", u"Hello"));
    NUBO::XStream* stream = nullptr;
    ASSERT_EQ(NUBO::XStream::Create(&stream), 0);
    uint32_t written = 0;
    ASSERT_EQ(stream->Write("PNG!", 4, &written), 0);
    ASSERT_TRUE(carried->AddStream(u"image/png", stream));
    stream->Release();

    oxBox* target = scene->GetBoxById(oxAtoms::Intern(u"a"), false);
    const oxPoint at{1, 1};
    {
        oxDragEvent drop(kAtomDragDrop, target, nullptr, target, at, at, false, false, false, 1, 0, 1, false);
        drop.SetSourceData(carried);
        scene->DispatchEvent(&drop);
        oxDragEvent over(kAtomDragOver, target, nullptr, target, at, at, false, false, false, 1, 0, 1, false);
        scene->DispatchEvent(&over);
    }
    carried->Release(); // the object the handler kept holds the data on

    const Case cases[] = {
        {"data", "[TransferData]"},
        {"plain", "undefined"}, // a drag without data
        {"data.count", "number:2"},
        {"data.getFormatAt(0)", "string:text"},
        {"data.getFormatAt(1)", "string:image/png"},
        {"data.getFormatAt(2)", "undefined"},
        {"data.getFormatAt(-1)", "undefined"},
        {"data.hasFormat('image/png')", "boolean:true"},
        {"data.hasFormat('image/gif')", "boolean:false"},
        {"data.hasFormat('')", "boolean:false"},
        {"data.getStringAt(0, 'text')", "string:Hello"},
        {"data.getStringAt(0, 'html')", "undefined"},
        {"data.getStringAt(1, 'image/png')", "undefined"}, // a stream is no text
        {"data.getStreamAt(0, 'text')", "undefined"},
        {"(s = data.getStreamAt(1, 'image/png'), s === undefined)", "boolean:false"},
        {"data.addStream('copy', s)", "boolean:true"},
        {"data.addStream('', s)", "boolean:false"},
        {"data.addStream('none', 7)", "boolean:false"},
        {"data.addString('', 'x')", "boolean:false"},
        {"data.addString('x', '')", "boolean:false"},
        {"data.addString('text/uri-list', 'box://a')", "boolean:true"},
        {"data.count", "number:4"},
        {"data.getFormatAt(2) + ' ' + data.getStringAt(3, 'text/uri-list')", "string:copy box://a"},
        {"data.getStringAt(0)", "error:8002000e"},
        {"data.getFormatAt()", "error:8002000e"},
    };
    CheckCases(scene, cases, std::size(cases));
    // The stream the script added back is kept as a stream.
    EXPECT_EQ(Call(scene, "data.getStreamAt(2, 'copy') === undefined"), "boolean:false");
}

} // namespace
} // namespace script_api_test
