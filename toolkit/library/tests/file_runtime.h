#pragma once
// Loads libraries from files through a markup loader and keeps them by URI, as the runtime does.
// Shared by the library tests and the markup fuzz target.
#include <map>
#include <string>
#include <vector>

#include "platform/shell/path_map.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/base/atoms.h"
#include "toolkit/library/library.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/markup/markup_loader.h"

namespace markup_test {

class FileRuntime : public oxLibraryRuntime {
public:
    ~FileRuntime() {
        for (auto& entry : libraries)
            entry.second->Release();
    }
    oxLibrary* LoadLibrary(const WCHAR* uri) override {
        std::string key = Key(uri);
        if (libraries.count(key)) return libraries[key];
        auto* library = new oxLibrary(kAtomLibrary, uri, this);
        library->AddRef();
        NUBO::XStream* raw = nullptr;
        bool ok = OpenUriStream(uri, &raw) == 0;
        if (ok) {
            NUBO::RefPtr<NUBO::XStream> stream(raw);
            oxMarkupLoader loader;
            ok = library->LoadMarkup(loader, uri, stream.get()) != nullptr;
            if (!ok) errors.push_back(Key(loader.GetErrorText().GetString()));
        }
        if (!ok) {
            library->Release();
            return nullptr;
        }
        libraries[key] = library;
        return library;
    }
    oxLibrary* FindLibrary(const WCHAR* uri) override {
        auto it = libraries.find(Key(uri));
        return it == libraries.end() ? nullptr : it->second;
    }
    oxElement* GetThemesElement() override { return nullptr; }
    void LoadInto(const WCHAR* uri, oxLibrary*) override { loadedInto.push_back(Key(uri)); }
    void ForgetLibraryObject(oxLibrary*) override { ++forgotten; }

    std::map<std::string, oxLibrary*> libraries;
    std::vector<std::string> loadedInto;
    std::vector<std::string> errors; // the message of each failed load, in order
    int forgotten = 0;

private:
    static std::string Key(const WCHAR* text) {
        std::u16string wide(text ? text : u"");
        return platform::Utf8FromWide(wide.data(), wide.size());
    }
};

} // namespace markup_test
