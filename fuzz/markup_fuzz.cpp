// Feeds arbitrary bytes to the markup loader twice: as a scene under a container that makes plain
// boxes, and as a library. Nothing may crash, leak or read out of bounds, and a failed parse must
// leave an error text.
#include <cstdint>
#include <cstdlib>
#include <new>

#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/core/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/scene/library.h"
#include "toolkit/scene/markup_loader.h"
#include "toolkit/scene/tests/plain_box_scene.h"

namespace {

using markup_test::PlainBoxScene;
using markup_test::RootHolder;

void Check(oxMarkupLoader& loader) {
    if (loader.IsFailed() && loader.GetErrorText().IsEmpty()) abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    static bool atoms = (oxAtoms::RegisterPredefined(), true);
    (void)atoms;

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
        loader.Load(u"fuzz.box", stream.get(), &holder);
        Check(loader);
    }
    {
        stream->Seek(0, 0);
        auto* library = new oxLibrary(kAtomLibrary, u"\\fuzz\\lib.box", nullptr);
        library->AddRef();
        oxMarkupLoader loader;
        loader.Load(u"\\fuzz\\lib.box", stream.get(), library);
        Check(loader);
        library->Release();
    }
    return 0;
}
