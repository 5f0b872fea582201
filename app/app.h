#pragma once
// App: the global host object "app", through which scene scripts read the program's identity
// (version, product, platform, user agent, locale, folder), protect secrets with the platform's
// data protection, open the picture picker, drive the shell notifications and control the main
// window. It owns the notifier, made on first use.
#include <cstdint>

#include "runtime/script_object.h"

class XNotifier;

class App : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "App"

    App() = default;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // Made by the platform's type when there is none yet; null when it cannot be made.
    XNotifier* EnsureNotifier();
    XNotifier* GetNotifier() const { return notifier_; }

protected:
    ~App() override;

private:
    XNotifier* notifier_ = nullptr; // owned
};
