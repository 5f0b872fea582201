#pragma once
// A fresh folder inside the resources folder beside the program, removed with the object: markup
// reads external entities and imports only from there. Shared by the markup tests and the markup
// fuzz target.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/shell/path_map.h"
#include "toolkit/markup/box_uri.h"

namespace markup_test {

class TempResources {
public:
    TempResources() {
        std::filesystem::path resources =
            std::filesystem::path(platform::ProgramHostPath()).parent_path() / "resources";
        std::error_code ignored;
        std::filesystem::create_directories(resources, ignored);
        std::string pattern = (resources / "test-resources-XXXXXX").string();
        if (mkdtemp(pattern.data())) host_ = pattern;
        name_ = std::filesystem::path(host_).filename().string();
    }
    ~TempResources() {
        std::error_code ignored;
        if (!host_.empty()) std::filesystem::remove_all(host_, ignored);
    }
    TempResources(const TempResources&) = delete;
    TempResources& operator=(const TempResources&) = delete;

    bool Ok() const { return !host_.empty(); }
    // The folder's own name, which is also its package name in box:// URIs.
    const std::string& Name() const { return name_; }
    const std::string& HostPath() const { return host_; }

    // Writes `data` to `relative` ('/'-separated, folders made as needed); answers its device path.
    std::u16string Write(const std::string& relative, const std::string& data) const {
        std::filesystem::path file = std::filesystem::path(host_) / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << data;
        return DevicePath(relative);
    }
    // The device path of `relative`.
    std::u16string DevicePath(const std::string& relative) const {
        std::u16string path = GetResourcesFolder().GetString();
        path += platform::WideFromUtf8(name_ + "/" + relative);
        for (char16_t& c : path)
            if (c == u'/') c = u'\\';
        return path;
    }
    // box://<name>/<relative>
    std::u16string BoxUri(const std::string& relative) const {
        return platform::WideFromUtf8("box://" + name_ + "/" + relative);
    }

private:
    std::string host_;
    std::string name_;
};

} // namespace markup_test
