// Feeds arbitrary bytes to the markup loader twice: as a scene under a container that makes plain
// boxes, and as a library loaded by a runtime that reads its imports. Both documents stand in a
// temporary folder inside the resources folder, beside a few files to import and to name as
// entities, so entities and imports are confined exactly as in the program. Nothing may crash, leak
// or read out of bounds, and a failed parse must leave an error text.
#include <cstdint>
#include <cstdlib>
#include <new>

#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/library/library.h"
#include "toolkit/markup/markup_loader.h"
#include "toolkit/library/tests/file_runtime.h"
#include "toolkit/markup/tests/plain_box_scene.h"
#include "toolkit/markup/tests/temp_resources.h"

namespace {

using markup_test::FileRuntime;
using markup_test::PlainBoxScene;
using markup_test::RootHolder;
using markup_test::TempResources;

constexpr const char* kLibraryHead = "<library xmlns=\"http://www.kestrum.com/weftly/resource.xsd\""
                                     " xmlns:b=\"http://www.kestrum.com/weftly/box.xsd\">";

// The folder lives as long as the process; it is removed at exit.
const TempResources& Resources() {
    static TempResources* resources = [] {
        auto* made = new TempResources;
        made->Write("lib.box", std::string(kLibraryHead) + "<b:import href=\"other.box\"/></library>");
        made->Write("other.box", std::string(kLibraryHead) + "<b:import href=\"lib.box\"/></library>");
        made->Write("ent.dtd", "<!ENTITY title \"from the dtd\">");
        made->Write("text.ent", "text");
        std::atexit([] { delete resources; });
        return made;
    }();
    return *resources;
}

void Check(oxMarkupLoader& loader) {
    if (loader.IsFailed() && loader.GetErrorText().IsEmpty()) abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    static bool atoms = (oxAtoms::RegisterPredefined(), true);
    (void)atoms;
    const TempResources& resources = Resources();
    if (!resources.Ok()) abort();
    static const std::u16string scenePath = resources.DevicePath("fuzz.box");
    static const std::u16string libraryPath = resources.DevicePath("fuzz-lib.box");

    NUBO::XStream* raw = nullptr;
    if (NUBO::XStream::Create(&raw) != 0) return 0;
    NUBO::RefPtr<NUBO::XStream> stream(raw);
    uint32_t written = 0;
    if (size && stream->Write(data, uint32_t(size), &written) != 0) return 0;

    {
        stream->Seek(0, 0);
        PlainBoxScene scene;
        RootHolder holder(&scene);
        oxMarkupLoader loader;
        loader.Load(scenePath.c_str(), stream.get(), &holder);
        Check(loader);
    }
    {
        stream->Seek(0, 0);
        FileRuntime runtime;
        auto* library = new oxLibrary(kAtomLibrary, libraryPath.c_str(), &runtime);
        library->AddRef();
        oxMarkupLoader loader;
        library->LoadMarkup(loader, libraryPath.c_str(), stream.get());
        Check(loader);
        library->Release();
    }
    return 0;
}
