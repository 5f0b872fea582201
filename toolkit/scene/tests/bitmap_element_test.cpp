// Bitmap, image and font resources of a library read from markup in a folder of the resources: lazy
// decoding, thumbnails, "#id" references, cells of a strip, pictures that cannot be had, and a scene
// whose boxes are filled with pictures, checked at computed points.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "graphics/paint/canvas.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/tests/golden.h"
#include "graphics/tests/raster_test_util.h"
#include "platform/shell/path_map.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "runtime/stream_adapter.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/uri_load.h"
#include "toolkit/library/bitmap_element.h"
#include "toolkit/library/brush_element.h"
#include "toolkit/library/font_element.h"
#include "toolkit/library/image_element.h"
#include "toolkit/library/tests/file_runtime.h"
#include "toolkit/markup/tests/markup_test_support.h"
#include "toolkit/markup/tests/temp_resources.h"
#include "toolkit/paint/box_painter.h"
#include "toolkit/scene/tests/style_test_scene.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_tables.h"

using namespace markup_test;

namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00;

// Straight RGBA of a picture whose pixel colour (0xRRGGBB, opaque) is `at(x, y)`.
template <typename F> std::string Picture(int width, int height, F at) {
    std::string rgba;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t c = at(x, y);
            rgba += char(c >> 16);
            rgba += char(c >> 8);
            rgba += char(c);
            rgba += char(0xFF);
        }
    return rgba;
}

// Opaque colour of a 32-bit pixel without its alpha.
uint32_t Rgb(const oxDibBitmap* image, int x, int y) {
    return image->pixels.GetRow32(y)[x] & 0xFFFFFFu;
}

const char* kHeader = R"M(<?xml version="1.0" encoding="utf-8"?>
<hbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
)M";

class BitmapElementTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        oxBoxPainter::InstallPaintServices();
        ASSERT_TRUE(res.Ok());
        // 200 x 100: red left half, blue right half.
        Png("wide.png", 200, 100, [](int x, int) { return x < 100 ? kRed : kBlue; });
        // 20 x 20 quadrants: red, green / blue, yellow.
        Png("quad.png", 20, 20,
            [](int x, int y) { return y < 10 ? (x < 10 ? kRed : kGreen) : (x < 10 ? kBlue : kYellow); });
        // A strip of four 16 x 16 cells: red, green, blue, yellow.
        Png("strip.png", 64, 16, [](int x, int) {
            const uint32_t cells[] = {kRed, kGreen, kBlue, kYellow};
            return cells[x / 16];
        });
        res.Write("corrupt.png", std::string("\x89PNG\r\n\x1a\nthis is not a picture", 29));
    }

    // A broken document gives its names back to the atom table, which hands their ids out again out of
    // order; later tests that dump attributes in id order start from a fresh table.
    void TearDown() override {
        scene.reset();
        oxAtoms::Reset();
        oxAtoms::RegisterPredefined();
    }

    void Png(const std::string& name, int width, int height, uint32_t (*at)(int, int)) {
        std::filesystem::path file = std::filesystem::path(res.HostPath()) / name;
        ASSERT_TRUE(WritePng(file.string(), Picture(width, height, at), width, height));
    }

    // Loads `body` (resource and box markup) as a scene file of the folder and opens it.
    StyleScene* Load(const std::string& body) {
        uri = res.Write("scene.box", kHeader + body + "</hbox>\n");
        scene = std::make_unique<StyleScene>(&runtime, uri.c_str());
        if (!scene->LoadFile(loader)) return nullptr;
        EXPECT_FALSE(loader.IsFailed()) << Utf8(loader.GetErrorText().GetString());
        scene->Open();
        return scene.get();
    }
    template <typename T = oxBitmapElement> T* Resource(const WCHAR* id) {
        return dynamic_cast<T*>(scene->FindResourceById(oxAtoms::Intern(id), 0));
    }

    TempResources res;
    FileRuntime runtime;
    std::u16string uri;
    oxMarkupLoader loader;
    std::unique_ptr<StyleScene> scene;
};

TEST_F(BitmapElementTest, DecodesOnFirstUseIntoFrames) {
    ASSERT_TRUE(Load(R"M(<r:library><r:bitmap id="quad" src="quad.png"/></r:library>)M"));
    oxBitmapElement* quad = Resource(u"quad");
    ASSERT_NE(quad, nullptr);
    EXPECT_EQ(quad->GetFrameCount(), 0); // nothing read before it is needed
    const oxDibBitmap* frame = quad->GetFrame(0);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(quad->GetFrameCount(), 1);
    int32_t w = 0, h = 0;
    quad->GetSize(&w, &h);
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 20);
    EXPECT_EQ(Rgb(frame, 15, 5), kGreen);
    EXPECT_EQ(Rgb(frame, 5, 15), kBlue);
}

TEST_F(BitmapElementTest, ThumbnailsKeepTheProportions) {
    struct Case {
        const char* size;
        int32_t width, height;
    } cases[] = {
        {R"M(thumbWidth="64")M", 64, 32},
        {R"M(thumbWidth="64" thumbHeight="64")M", 64, 32}, // fitted
        {R"M(thumbHeight="50")M", 100, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        ASSERT_TRUE(
            Load(std::string(R"M(<r:library><r:bitmap id="wide" src="wide.png" )M") + c.size + "/></r:library>"));
        oxBitmapElement* wide = Resource(u"wide");
        ASSERT_NE(wide, nullptr);
        const oxDibBitmap* thumb = wide->GetFrame(0);
        ASSERT_NE(thumb, nullptr);
        EXPECT_EQ(thumb->width, c.width);
        EXPECT_EQ(thumb->height, c.height);
        EXPECT_EQ(Rgb(thumb, 2, c.height / 2), kRed);
        EXPECT_EQ(Rgb(thumb, c.width - 3, c.height / 2), kBlue);
        EXPECT_EQ(wide->GetFrameCount(), 1); // the source is kept by default
    }
}

TEST_F(BitmapElementTest, WithoutTheSourceOnlyTheThumbnailStays) {
    ASSERT_TRUE(Load(R"M(<r:library><r:bitmap id="wide" src="wide.png" thumbWidth="64" keepSourceImg="false"/>
                        </r:library>)M"));
    oxBitmapElement* wide = Resource(u"wide");
    ASSERT_NE(wide, nullptr);
    ASSERT_NE(wide->GetFrame(0), nullptr);
    EXPECT_EQ(wide->GetFrameCount(), 0);
    int32_t w = 0, h = 0;
    wide->GetSize(&w, &h);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 32);

    // The same size keeps the thumbnail; a new one is made from the file again, as nothing else is left.
    const oxDibBitmap* first = wide->GetFrame(0);
    wide->SetThumbSize(64, -1);
    EXPECT_EQ(wide->GetFrame(0), first);
    wide->SetThumbSize(32, -1);
    EXPECT_FALSE(wide->HasThumbnail());
    const oxDibBitmap* second = wide->GetFrame(0);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->width, 32);
    EXPECT_EQ(second->height, 16);
}

TEST_F(BitmapElementTest, ReferencesTakeTheFramesOfAnotherBitmap) {
    ASSERT_TRUE(Load(R"M(<r:library>
        <r:bitmap id="quad" src="quad.png"/>
        <r:bitmap id="alias" src="#quad"/>
        <r:bitmap id="ringA" src="#ringB"/>
        <r:bitmap id="ringB" src="#ringA"/>
        <r:bitmap id="self" src="#self"/>
    </r:library>)M"));
    oxBitmapElement* alias = Resource(u"alias");
    ASSERT_NE(alias, nullptr);
    EXPECT_EQ(alias->GetFrame(0), Resource(u"quad")->GetFrame(0));
    EXPECT_EQ(alias->GetInheritedBitmap(), Resource(u"quad"));
    // Rings of references end with no picture.
    EXPECT_EQ(Resource(u"ringA")->GetFrame(0), nullptr);
    EXPECT_EQ(Resource(u"self")->GetFrame(0), nullptr);

    // The referenced bitmap going away leaves the reference without it, not pointing at freed memory.
    scene->RemoveResource(Resource(u"quad"));
    EXPECT_EQ(alias->GetInheritedBitmap(), nullptr);
}

TEST_F(BitmapElementTest, ImageElementsCutCellsAndRectangles) {
    ASSERT_TRUE(Load(R"M(<r:library>
        <r:bitmap id="strip" src="strip.png" elementWidth="16" elementHeight="16"/>
        <r:imageElement id="third" src="#strip" index="2"/>
        <r:imageElement id="rect" src="#strip" x="8" y="4" width="16" height="8"/>
        <r:imageElement id="cellSized" src="#strip" x="48" y="0"/>
        <r:imageElement id="past" src="#strip" index="4"/>
        <r:imageElement id="negative" src="#strip" x="-1" y="0" width="4" height="4"/>
        <r:imageElement id="nothing" src="#none" index="0"/>
    </r:library>)M"));
    struct Case {
        const WCHAR* id;
        int32_t width, height;
        uint32_t left, right; // colours at the middle row's ends
    } cases[] = {
        {u"third", 16, 16, kBlue, kBlue},
        {u"rect", 16, 8, kRed, kGreen},
        {u"cellSized", 16, 16, kYellow, kYellow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.id));
        oxImageElement* image = Resource<oxImageElement>(c.id);
        ASSERT_NE(image, nullptr);
        const oxDibBitmap* frame = image->GetFrame(0);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->width, c.width);
        EXPECT_EQ(frame->height, c.height);
        EXPECT_EQ(Rgb(frame, 0, c.height / 2), c.left);
        EXPECT_EQ(Rgb(frame, c.width - 1, c.height / 2), c.right);
    }
    for (const WCHAR* id : {u"past", u"negative", u"nothing"}) {
        SCOPED_TRACE(Utf8(id));
        ASSERT_NE(Resource<oxImageElement>(id), nullptr);
        EXPECT_EQ(Resource<oxImageElement>(id)->GetFrame(0), nullptr);
    }
}

TEST_F(BitmapElementTest, PicturesThatCannotBeHadLeaveNoFrames) {
    // A real picture beside the resources folder, which no source may reach.
    const std::filesystem::path outside =
        std::filesystem::path(platform::ProgramHostPath()).parent_path() / ("outside-" + res.Name() + ".png");
    ASSERT_TRUE(WritePng(outside.string(), Picture(2, 2, [](int, int) { return kRed; }), 2, 2));
    // A file URI is a file, confined like the others: it is never handed to the download road.
    static int fetched = 0;
    fetched = 0;
    const oxUriLoader previous = oxSetUriLoader([](const WCHAR*, oxUriLoadListener*) -> int32_t {
        ++fetched;
        return 1;
    });
    const std::string climb = "../../" + outside.filename().string();
    const std::string absolute = Utf8(GetResourcesFolder().GetString()) + "../" + outside.filename().string();
    ASSERT_TRUE(Load(R"M(<r:library>
        <r:bitmap id="missing" src="missing.png"/>
        <r:bitmap id="corrupt" src="corrupt.png"/>
        <r:bitmap id="climb" src=")M" +
                     climb + R"M("/>
        <r:bitmap id="absolute" src=")M" +
                     absolute + R"M("/>
        <r:bitmap id="boxClimb" src="box://../)M" +
                     outside.filename().string() + R"M("/>
        <r:bitmap id="fileScheme" src="file://)M" +
                     outside.string() + R"M("/>
    </r:library>)M"));
    for (const WCHAR* id : {u"missing", u"corrupt", u"climb", u"absolute", u"boxClimb", u"fileScheme"}) {
        SCOPED_TRACE(Utf8(id));
        oxBitmapElement* bitmap = Resource(id);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->GetFrame(0), nullptr);
        int32_t w = -1, h = -1;
        bitmap->GetSize(&w, &h);
        EXPECT_EQ(w, 0);
        EXPECT_EQ(h, 0);
    }
    EXPECT_EQ(fetched, 0);
    oxSetUriLoader(previous);
    std::filesystem::remove(outside);
}

TEST_F(BitmapElementTest, ABrokenDocumentFreesTheResourcesItLeftOpen) {
    uri = res.Write("broken.box", std::string(kHeader) +
                                      R"M(<r:library><r:bitmap id="quad" src="quad.png"><r:font id="f" size="12">)M");
    scene = std::make_unique<StyleScene>(&runtime, uri.c_str());
    ASSERT_TRUE(scene->LoadFile(loader));
    EXPECT_TRUE(loader.IsFailed());
    scene.reset(); // the sanitizer build finds what was not freed
}

TEST_F(BitmapElementTest, FontElementsLendTheirValuesToStyles) {
    ASSERT_TRUE(Load(R"M(<r:library>
        <r:font id="title" size="18" bold="true" color="#102030" family="Serif"/>
        <r:style target="root" font="url(#title)" fontSize="9" textShadowOffsetX="2"/>
    </r:library>)M"));
    oxStyleDeclaration* style = nullptr;
    void* at = nullptr;
    for (oxElement* e = scene->FirstResource(&at); e; e = scene->NextResource(&at))
        if (e->GetTag() == kAtomStyle) style = dynamic_cast<oxStyleDeclaration*>(e);
    ASSERT_NE(style, nullptr);
    ASSERT_NE(style->FindProperty(kStyle_fontSize), nullptr);
    EXPECT_EQ(style->FindProperty(kStyle_fontSize)->GetInt(), 18);
    ASSERT_NE(style->FindProperty(kStyle_fontFamily), nullptr);
    EXPECT_EQ(Utf8(style->FindProperty(kStyle_fontFamily)->GetText()), "Serif");
    ASSERT_NE(style->FindProperty(kStyle_textColor), nullptr);
    EXPECT_EQ(uint32_t(style->FindProperty(kStyle_textColor)->GetValue()) & 0xFFFFFFu, 0x102030u);
    // What the font does not set stays the style's own.
    EXPECT_EQ(style->FindProperty(kStyle_textShadowOffsetX)->GetInt(), 2);
}

TEST_F(BitmapElementTest, BoxesFilledWithPicturesShowThemAndAMissingOneOnce) {
    const std::string box = "box://" + res.Name() + "/quad.png";
    ASSERT_TRUE(Load(R"M(<r:library>
        <r:bitmap id="quad" src="quad.png"/>
        <r:style target="root" fill="#ffffff"/>
        <r:style target="byId" width="40" height="40" fill="url(#quad)" fillSize="both"/>
        <r:style target="byUri" width="20" height="20" fill="url()M" +
                     box + R"M()"/>
        <r:style target="relative" width="20" height="20" fill="url(quad.png)"/>
        <r:style target="missing" width="20" height="20" fill="url(nowhere.png)"/>
    </r:library>
    <box id="byId"/><box id="byUri"/><box id="relative"/><box id="missing"/>)M"));
    oxBox* root = scene->root;
    ASSERT_NE(root, nullptr);
    ArrangeLayoutRoot(root, 100, 40);
    TestSurface surface(100, 40, 32);
    oxCanvas canvas;
    canvas.AttachTarget(surface.buffer);
    testing::internal::CaptureStderr();
    root->Paint(&canvas);
    root->Paint(&canvas);
    const std::string reports = testing::internal::GetCapturedStderr();
    auto at = [&](int x, int y) { return surface.buffer.GetRow32(y)[x] & 0xFFFFFFu; };

    // Stretched to twice its size, each quadrant's centre keeps its colour.
    EXPECT_EQ(at(10, 10), kRed);
    EXPECT_EQ(at(30, 10), kGreen);
    EXPECT_EQ(at(10, 30), kBlue);
    EXPECT_EQ(at(30, 30), kYellow);
    // The two boxes that name the file itself, at 1:1 from x = 40 and x = 60.
    for (int x0 : {40, 60}) {
        SCOPED_TRACE(x0);
        EXPECT_EQ(at(x0 + 2, 2), kRed);
        EXPECT_EQ(at(x0 + 17, 2), kGreen);
        EXPECT_EQ(at(x0 + 2, 17), kBlue);
        EXPECT_EQ(at(x0 + 17, 17), kYellow);
    }
    // The missing picture leaves its box as the background, and is reported once, by name.
    EXPECT_EQ(at(90, 10), 0xFFFFFFu);
    const size_t first = reports.find("nowhere.png");
    ASSERT_NE(first, std::string::npos) << reports;
    EXPECT_EQ(reports.find("nowhere.png", first + 1), std::string::npos) << reports;
}

// A PNG without alpha decodes to 24 bits; filled into boxes at 1:1 and stretched it paints opaque.
TEST_F(BitmapElementTest, PicturesWithoutAlphaFillBoxesOpaque) {
    res.Write("rgb.png", ReadFile(DataPath("paint/rgb.png")));
    ASSERT_TRUE(Load(R"M(<r:library>
        <r:bitmap id="rgb" src="rgb.png"/>
        <r:style target="root" fill="#ffffff"/>
        <r:style target="plain" width="4" height="4" fill="url(#rgb)"/>
        <r:style target="stretched" width="8" height="8" fill="url(#rgb)" fillSize="both"/>
    </r:library>
    <box id="plain"/><box id="stretched"/>)M"));
    ASSERT_NE(Resource(u"rgb"), nullptr);
    ASSERT_NE(Resource(u"rgb")->GetFrame(-1), nullptr);
    EXPECT_EQ(Resource(u"rgb")->GetFrame(-1)->bpp, 24);
    ArrangeLayoutRoot(scene->root, 12, 8);
    TestSurface surface(12, 8, 32);
    surface.Fill32(0);
    oxCanvas canvas;
    canvas.AttachTarget(surface.buffer);
    scene->root->Paint(&canvas);
    auto at = [&](int x, int y) { return surface.buffer.GetRow32(y)[x] & 0xFFFFFFu; };
    const struct {
        int x, y;
        uint32_t colour;
    } cases[] = {{0, 0, 0x2040C0}, {3, 0, 0xC08020}, {0, 3, 0x10E070}, {3, 3, 0x808080},
                 {5, 1, 0x2040C0}, {10, 1, 0xC08020}, {5, 6, 0x10E070}, {10, 6, 0x808080}};
    for (const auto& c : cases) EXPECT_EQ(at(c.x, c.y), c.colour) << c.x << "," << c.y;
}

// An image brush keeps its own picture: a box filled with the brush shows it by the brush's repeat
// rules, and each thumbnail attribute sets the whole thumbnail size with the other side unset.
TEST_F(BitmapElementTest, ImageBrushesPaintTheirOwnPicture) {
    ASSERT_TRUE(Load(R"M(<r:library>
        <r:imageBrush id="tiles" fill="quad.png" fillRepeat="both"/>
        <r:imageBrush id="thumbs" thumbWidth="80" thumbHeight="60"/>
        <r:style target="root" fill="#ffffff"/>
        <r:style target="tiled" width="40" height="20" fill="url(#tiles)"/>
    </r:library>
    <box id="tiled"/>)M"));
    auto* thumbs = Resource<oxImageBrushElement>(u"thumbs");
    ASSERT_NE(thumbs, nullptr);
    ASSERT_NE(thumbs->GetBitmap(), nullptr);
    EXPECT_EQ(thumbs->GetBitmap()->GetThumbWidth(), -1);
    EXPECT_EQ(thumbs->GetBitmap()->GetThumbHeight(), 60);

    oxBox* root = scene->root;
    ArrangeLayoutRoot(root, 40, 20);
    TestSurface surface(40, 20, 32);
    oxCanvas canvas;
    canvas.AttachTarget(surface.buffer);
    root->Paint(&canvas);
    auto at = [&](int x, int y) { return surface.buffer.GetRow32(y)[x] & 0xFFFFFFu; };
    // The 20 x 20 picture twice across: its quadrants repeat at x = 20.
    for (int x0 : {0, 20}) {
        SCOPED_TRACE(x0);
        EXPECT_EQ(at(x0 + 2, 2), kRed);
        EXPECT_EQ(at(x0 + 17, 2), kGreen);
        EXPECT_EQ(at(x0 + 2, 17), kBlue);
        EXPECT_EQ(at(x0 + 17, 17), kYellow);
    }
}

// A running load as a loader hands it to its listener; counts the aborts it is asked for.
class FakeLoad : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    int aborts = 0;
};
int32_t FakeLoadAbort(NUBO::XObject* object, int, NUBO::XArgList*, NUBO::XVariant*) {
    ++static_cast<FakeLoad*>(object)->aborts;
    return 0;
}
const NUBO::XMemberEntry kFakeLoadMembers[] = {NUBO::XMethod("abort", FakeLoadAbort), NUBO::XMemberEnd()};
NUBO::XClassDescriptor FakeLoad::Descriptor = {"FakeLoad", 2, kFakeLoadMembers, &NUBO::XObject::Descriptor, 0, {}};

// The picture of a URI of another scheme is loaded through the installed loader; the content
// becomes the frames, a failure leaves the frames as they were, and the listeners hear of both. A
// bitmap that goes while its download runs forgets the listener and aborts the download.
TEST_F(BitmapElementTest, PicturesOfOtherSchemesAreDownloaded) {
    static std::u16string fetched;
    static oxUriLoadListener* pending = nullptr;
    const oxUriLoader previous = oxSetUriLoader([](const WCHAR* address, oxUriLoadListener* listener) -> int32_t {
        fetched = address;
        listener->AddRef();
        pending = listener;
        return 0;
    });
    struct Heard : oxBitmapListener {
        void OnBitmapChanged(oxBitmapElement*) override { ++changes; }
        void OnBitmapDestroyed(oxBitmapElement*) override {}
        int changes = 0;
    } heard;
    // The loader's end, as the program's URI callback delivers it.
    auto finish = [&](int32_t result, NUBO::XStream* stream) {
        oxUriLoadListener* listener = pending;
        pending = nullptr;
        if (oxEventTarget* target = listener->GetTarget()) {
            oxUrlEvent event(kAtomUrlLoadComplete, nullptr, result, nullptr, 0);
            event.stream = stream;
            EXPECT_EQ(target->HandleEvent(&event), 1);
        }
        listener->Release();
    };
    ASSERT_TRUE(Load(R"M(<r:library><r:bitmap id="far" src="http://127.0.0.1:9/quad.png"/></r:library>)M"));
    oxBitmapElement* far = Resource(u"far");
    ASSERT_NE(far, nullptr);
    far->AddListener(&heard);
    far->Prepare();
    EXPECT_EQ(Utf8(fetched.c_str()), "http://127.0.0.1:9/quad.png");
    ASSERT_NE(pending, nullptr);
    EXPECT_EQ(far->GetFrameCount(), 0);

    // The downloaded bytes, as a stream object.
    std::ifstream file(std::filesystem::path(res.HostPath()) / "quad.png", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    NUBO::XStream* stream = nullptr;
    ASSERT_EQ(NUBO::XStream::Create(&stream), 0);
    uint32_t written = 0;
    stream->Write(bytes.data(), uint32_t(bytes.size()), &written);
    finish(0, stream);
    stream->Release();
    EXPECT_EQ(far->GetFrameCount(), 1);
    int32_t w = 0, h = 0;
    far->GetSize(&w, &h);
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 20);
    EXPECT_EQ(heard.changes, 1);

    // A failed download keeps the frames.
    far->SetSrcUri(u"http://127.0.0.1:9/gone.png"); // a change of source is heard too
    far->Prepare();
    ASSERT_NE(pending, nullptr);
    const int before = heard.changes;
    finish(int32_t(0x800C0005), nullptr);
    EXPECT_EQ(far->GetFrameCount(), 1);
    EXPECT_EQ(heard.changes, before + 1);

    // The bitmap goes first: the load hears that it is aborted, and the late end reaches nobody.
    far->SetSrcUri(u"http://127.0.0.1:9/late.png");
    far->Prepare();
    ASSERT_NE(pending, nullptr);
    auto* load = new FakeLoad();
    load->AddRef();
    pending->SetLoad(load);
    scene.reset();
    EXPECT_EQ(load->aborts, 1);
    EXPECT_EQ(pending->GetTarget(), nullptr);
    finish(int32_t(0x800C0005), nullptr); // the sanitizer build finds a late call
    EXPECT_EQ(load->GetRefCount(), 1) << "the forgotten listener let go of its load";
    load->Release();
    oxSetUriLoader(previous);
}

} // namespace
