// The file dialog the platform shows for the open and save dialogs: the toolkit's own scene, opened
// modally over the top scene, listing the folders and files of the allowed roots (the documents
// folder and the program's folder) that pass the chosen filter. A tap on a folder opens it, on a
// file chooses it (or, choosing several, adds or takes it away), on "OK" answers, on "Cancel"
// cancels. A save adds the default extension to a name without one and asks before it replaces a
// file.
#include "toolkit/script/file_dialog_scene.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/crt/wide.h"
#include "platform/shell/file_dialog.h"
#include "platform/shell/path_map.h"
#include "platform/win/timer.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_object.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/event.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"

namespace {

constexpr const WCHAR* kFileDialogScene = u"box://KestrumToolkit/content/fileDialog/fileDialog.box";
constexpr const WCHAR* kFileDialogName = u"_fileDialog";

oxRuntime* g_runtime = nullptr;

std::u16string Lower(std::u16string text) {
    for (char16_t& c : text)
        c = char16_t(towlower(c));
    return text;
}

// "*", "*.*", "*.txt", "name.*": the device's patterns, without letter case.
bool Matches(const std::u16string& name, const std::u16string& pattern) {
    const std::u16string n = Lower(name), p = Lower(pattern);
    if (p == u"*" || p == u"*.*") return true;
    if (p.rfind(u"*.", 0) == 0) {
        const std::u16string ext = p.substr(1);
        return n.size() >= ext.size() && n.compare(n.size() - ext.size(), ext.size(), ext) == 0;
    }
    if (p.size() > 2 && p.compare(p.size() - 2, 2, u".*") == 0) return n.rfind(p.substr(0, p.size() - 1), 0) == 0;
    return n == p;
}

// The patterns of the filter's `index`th pair (from 1): "*.a;*.b".
std::vector<std::u16string> FilterPatterns(const WCHAR* filter, DWORD index) {
    std::vector<std::u16string> patterns;
    for (DWORD pair = 1; filter && *filter; ++pair) {
        filter += wcslen(filter) + 1; // the description
        if (!*filter) break;
        const std::u16string list = filter;
        filter += list.size() + 1;
        if (pair != index) continue;
        size_t from = 0;
        while (from <= list.size()) {
            const size_t semi = std::min(list.find(u';', from), list.size());
            if (semi > from) patterns.push_back(list.substr(from, semi - from));
            from = semi + 1;
        }
    }
    return patterns;
}

std::u16string Join(const std::u16string& folder, const std::u16string& name) {
    return folder.empty() || folder.back() == u'\\' ? folder + name : folder + u"\\" + name;
}

bool Exists(const std::u16string& devicePath, bool* folder = nullptr) {
    struct stat st {};
    if (stat(platform::HostPathFromDevice(devicePath).c_str(), &st) != 0) return false;
    if (folder) *folder = S_ISDIR(st.st_mode);
    return true;
}

class FileDialog;

// The scene's click listener, handing the taps to the dialog.
class ClickListener : public oxSceneEventListener {
public:
    explicit ClickListener(FileDialog* dialog) : dialog_(dialog) {}
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    int32_t HandleEvent(oxEvent* event) override;
    void Forget() { dialog_ = nullptr; }

private:
    virtual ~ClickListener() = default;
    FileDialog* dialog_;
    ULONG refs_ = 0;
};

// One showing of the dialog: what it lists, what is chosen, and the record it answers in.
class FileDialog {
public:
    FileDialog(OPENFILENAMEW* record, bool save) : record_(record), save_(save) {
        multiple_ = !save && (record->Flags & OFN_ALLOWMULTISELECT);
        patterns_ = FilterPatterns(record->lpstrFilter, record->nFilterIndex ? record->nFilterIndex : 1);
        roots_.push_back(kDocumentsFolder);
        const std::u16string program = platform::DevicePathFromHost(platform::ProgramHostPath());
        roots_.push_back(program.substr(0, program.rfind(u'\\')));
        const std::u16string initial = record->lpstrInitialDir ? record->lpstrInitialDir : u"";
        bool isFolder = false;
        if (!initial.empty() && Allowed(initial) && Exists(initial, &isFolder) && isFolder) folder_ = initial;
        // A save starts with the name it was given.
        if (save_ && record->lpstrFile[0]) name_ = record->lpstrFile;
    }

    // Fills the scene as it opens.
    void Open(oxScene* scene) {
        scene_ = scene;
        listener_ = new (std::nothrow) ClickListener(this);
        if (!listener_) return;
        listener_->AddRef();
        scene->AddEventListener(kAtomClick, listener_);
        if (oxBox* title = Box(u"title"))
            title->SetAttribute(kAtomValue, record_->lpstrTitle ? record_->lpstrTitle : (save_ ? u"Save" : u"Open"),
                                true, false);
        Fill();
    }

    // The scene is gone or going: nothing of it is touched any more.
    void Close() {
        if (refilling_ == this) refilling_ = nullptr;
        if (scene_ && listener_) scene_->RemoveEventListener(kAtomClick, listener_);
        if (listener_) {
            listener_->Forget();
            listener_->Release();
        }
        listener_ = nullptr;
        scene_ = nullptr;
    }

    void OnTap(oxBox* target) {
        for (oxBox* b = target; b && scene_; b = b->GetParent()) {
            if (auto it = entries_.find(b); it != entries_.end()) return Pick(it->second);
            if (b == Box(u"ok")) return Answer();
            if (b == Box(u"cancel")) return Finish(false);
        }
    }

    bool Answered() const { return answered_; }

private:
    struct Entry {
        std::u16string name;
        bool folder;
    };

    oxBox* Box(const char16_t* id) { return scene_ ? scene_->GetBoxById(oxAtoms::Intern(id), false) : nullptr; }

    bool Allowed(const std::u16string& path) const {
        for (const std::u16string& root : roots_) {
            const std::u16string r = Lower(root), p = Lower(path);
            if (p == r || (p.size() > r.size() && p.compare(0, r.size(), r) == 0 && p[r.size()] == u'\\')) return true;
        }
        return false;
    }

    bool Passes(const std::u16string& name) const {
        if (patterns_.empty()) return true;
        for (const std::u16string& p : patterns_)
            if (Matches(name, p)) return true;
        return false;
    }

    // The entries of the folder shown: at the top the roots, else "..", its folders and its files.
    std::vector<Entry> List() const {
        std::vector<Entry> list;
        if (folder_.empty()) {
            for (const std::u16string& root : roots_)
                if (Exists(root)) list.push_back({root, true});
            return list;
        }
        list.push_back({u"..", true});
        std::vector<Entry> folders, files;
        if (DIR* dir = opendir(platform::HostPathFromDevice(folder_).c_str())) {
            while (dirent* e = readdir(dir)) {
                const std::string name = e->d_name;
                if (name == "." || name == ".." || name[0] == '.') continue;
                const std::u16string wide = platform::WideFromUtf8(name);
                bool isFolder = false;
                if (!Exists(Join(folder_, wide), &isFolder)) continue;
                if (isFolder)
                    folders.push_back({wide, true});
                else if (Passes(wide))
                    files.push_back({wide, false});
            }
            closedir(dir);
        }
        auto byName = [](const Entry& a, const Entry& b) { return Lower(a.name) < Lower(b.name); };
        std::sort(folders.begin(), folders.end(), byName);
        std::sort(files.begin(), files.end(), byName);
        list.insert(list.end(), folders.begin(), folders.end());
        list.insert(list.end(), files.begin(), files.end());
        return list;
    }

    void Fill() {
        oxBox* entries = Box(u"entries");
        if (!entries) return;
        while (oxBox* child = entries->GetChildAt(0, false)) {
            entries_.erase(child);
            entries->RemoveChild(child, false);
            scene_->DestroyBox(child);
        }
        entries_.clear();
        shown_ = List();
        for (size_t i = 0; i < shown_.size(); ++i) {
            oxBox* row = scene_->CreateBox(kAtomBoxNamespace, kAtomSimpleText);
            if (!row) break;
            const std::u16string text =
                shown_[i].folder && shown_[i].name != u".." ? shown_[i].name + u"\\" : shown_[i].name;
            row->SetAttribute(kAtomStyle, u"fileDialogEntry", true, false);
            row->SetAttribute(kAtomValue, text.c_str(), true, false);
            entries->AddChild(row); // the list keeps the creation's reference
            entries_[row] = i;
        }
        if (oxBox* folder = Box(u"folder")) folder->SetAttribute(kAtomValue, folder_.c_str(), true, false);
        ShowChoice();
    }

    static void OnRefill(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        if (FileDialog* dialog = std::exchange(refilling_, nullptr); dialog && dialog->scene_) dialog->Fill();
    }

    void RefillSoon() {
        if (refilling_ == this) return;
        refilling_ = this;
        SetTimer(nullptr, 0, 0, &FileDialog::OnRefill);
    }

    void ShowChoice() {
        std::u16string text = name_;
        for (const std::u16string& n : chosen_)
            text += (text.empty() ? u"" : u"; ") + n;
        if (oxBox* choice = Box(u"choice")) choice->SetAttribute(kAtomValue, text.c_str(), true, false);
    }

    void Pick(size_t index) {
        if (index >= shown_.size()) return;
        const Entry entry = shown_[index];
        if (entry.folder) {
            if (entry.name == u"..") {
                const size_t slash = folder_.rfind(u'\\');
                const std::u16string up = slash == std::u16string::npos ? u"" : folder_.substr(0, slash);
                folder_ = Allowed(up) ? up : u"";
            } else {
                folder_ = folder_.empty() ? entry.name : Join(folder_, entry.name);
            }
            chosen_.clear();
            name_.clear();
            // The tapped entry is still in its dispatch: the list is made again after it.
            RefillSoon();
            return;
        }
        if (multiple_) {
            auto at = std::find(chosen_.begin(), chosen_.end(), entry.name);
            if (at == chosen_.end())
                chosen_.push_back(entry.name);
            else
                chosen_.erase(at);
        } else {
            name_ = entry.name;
        }
        ShowChoice();
    }

    void Answer() {
        if (folder_.empty()) return; // no folder to answer in
        std::u16string out;
        if (multiple_ && chosen_.size() > 1) {
            out = folder_ + u'\0';
            for (const std::u16string& n : chosen_)
                out += n + u'\0';
        } else {
            std::u16string name = multiple_ ? (chosen_.empty() ? u"" : chosen_[0]) : name_;
            if (name.empty()) return;
            if (save_ && record_->lpstrDefExt && *record_->lpstrDefExt && name.find(u'.') == std::u16string::npos)
                name += u"." + std::u16string(record_->lpstrDefExt);
            const std::u16string path = Join(folder_, name);
            if (!save_ && (record_->Flags & OFN_FILEMUSTEXIST) && !Exists(path)) return;
            if (save_ && (record_->Flags & OFN_OVERWRITEPROMPT) && Exists(path) && !ConfirmReplace(name)) return;
            out = path;
        }
        // The answer and the NUL after it must fit the caller's buffer.
        if (out.size() + 1 > record_->nMaxFile) return;
        std::copy(out.begin(), out.end(), record_->lpstrFile);
        record_->lpstrFile[out.size()] = 0;
        Finish(true);
    }

    bool ConfirmReplace(const std::u16string& name) {
        NUBO::XObject* raw = nullptr;
        const std::u16string body = name + u" already exists. Do you want to replace it?";
        scene_->Confirm(body.c_str(), record_->lpstrTitle, 0, &raw);
        NUBO::RefPtr<NUBO::XObject> results(raw);
        NUBO::XVariant button;
        return results && results->GetPropertyByName(u"button", &button) == 0 &&
               wcscmp(button.ToString().GetString(), u"confirm") == 0;
    }

    void Finish(bool ok) {
        answered_ = ok;
        if (oxScene* scene = scene_) {
            Close();
            scene->Close(false);
        }
    }

    OPENFILENAMEW* record_;
    bool save_;
    bool multiple_ = false;
    bool answered_ = false;
    std::vector<std::u16string> patterns_;
    std::vector<std::u16string> roots_;
    std::u16string folder_; // empty: the roots
    std::u16string name_;   // a single choice, or the save's name
    std::vector<std::u16string> chosen_;
    std::vector<Entry> shown_;
    std::map<oxBox*, size_t> entries_;
    oxScene* scene_ = nullptr;
    ClickListener* listener_ = nullptr;
    static inline FileDialog* refilling_ = nullptr;
};

int32_t ClickListener::HandleEvent(oxEvent* event) {
    if (dialog_ && event) dialog_->OnTap(dynamic_cast<oxBox*>(event->GetTarget()));
    return 1;
}

// The dialog scene's listener: fills the scene when it opens.
class DialogOpener : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor;
    explicit DialogOpener(FileDialog* dialog) : dialog_(dialog) {}
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    FileDialog* dialog_;
};

int32_t OnSceneOpen(NUBO::XObject* object, int, NUBO::XArgList*, NUBO::XVariant*) {
    auto* opener = static_cast<DialogOpener*>(object);
    oxScene* scene = g_runtime ? g_runtime->FindSceneByName(kFileDialogName) : nullptr;
    if (opener && opener->dialog_ && scene) opener->dialog_->Open(scene);
    return 0;
}

const NUBO::XMemberEntry kOpenerMembers[] = {NUBO::XMethod("onSceneOpen", OnSceneOpen), NUBO::XMemberEnd()};

NUBO::XClassDescriptor DialogOpener::Descriptor = {"fileDialogListener",       2, kOpenerMembers,
                                                   &NUBO::XObject::Descriptor, 0, {}};

BOOL ShowFileDialogScene(OPENFILENAMEW* record, bool save) {
    oxRuntime* runtime = g_runtime;
    const int count = runtime ? runtime->GetSceneCount() : 0;
    oxScene* top = count > 0 ? runtime->GetSceneAt(count - 1) : nullptr;
    if (!top) return FALSE;
    FileDialog dialog(record, save);
    auto* opener = new (std::nothrow) DialogOpener(&dialog);
    if (!opener) return FALSE;
    opener->AddRef();
    NUBO::RefPtr<NUBO::XObject> hold(opener);
    runtime->OpenDialogScene(kFileDialogScene, top, kFileDialogName, nullptr, opener, false);
    opener->dialog_ = nullptr;
    dialog.Close();
    return dialog.Answered() ? TRUE : FALSE;
}

} // namespace

void InstallFileDialogScene(oxRuntime* runtime) {
    g_runtime = runtime;
    platform::shell::SetFileDialogHandler(runtime ? &ShowFileDialogScene : nullptr);
}
