#include "toolkit/core/box_scene.h"

#include "toolkit/core/box.h"

oxBox* oxBoxScene::CreateBox(oxAtom ns, oxAtom tag) {
    (void)ns, (void)tag;
    return nullptr;
}

oxBox* oxBoxScene::CreateBoxOfType(oxAtom type, oxAtom tag) {
    (void)type, (void)tag;
    return nullptr;
}

void oxBoxScene::DestroyBox(oxBox* box) {
    if (box) box->Release();
}

oxBox* oxBoxScene::FindBoxById(oxAtom id) {
    (void)id;
    return nullptr;
}

void oxBoxScene::UnregisterBoxId(oxBox* box, oxAtom id) {
    (void)box, (void)id;
}

oxElement* oxBoxScene::CreateGroupElement(oxBox* owner, oxAtom tag) {
    (void)owner, (void)tag;
    return nullptr;
}

oxBox* oxBoxScene::GetRootBox() {
    return nullptr;
}

oxElement* oxBoxScene::GetLibraryElement() {
    return nullptr;
}

bool oxBoxScene::IsRunning() const {
    return false;
}

oxElement* oxBoxScene::CreateScriptElement(oxBox* owner, oxAtom tag) {
    (void)owner, (void)tag;
    return nullptr;
}

void oxBoxScene::OnBoxLeftScene(oxBox* box) {
    (void)box;
}

void oxBoxScene::OnBoxDestroyed(oxBox* box) {
    (void)box;
}

void oxBoxScene::SetUpdateFlag(uint32_t flag) {
    (void)flag;
}

bool oxBoxScene::NotifySceneOfChange(oxBox* layoutRoot) {
    (void)layoutRoot;
    return false;
}

void oxBoxScene::OnBoxRepaintRequested(oxBox* box) {
    (void)box;
}

oxChangeListener* oxBoxScene::GetScrollbarListener() {
    return nullptr;
}

oxBoxStyle* oxBoxScene::BuildBoxStyle(oxBox* box) {
    (void)box;
    return nullptr;
}

oxStyleLibrary* oxBoxScene::GetStyleLibrary() {
    return nullptr;
}
