#pragma once
// XMobileDevice: the global "device" through which scene scripts reach the handset: rotation, the
// input panel and keyboard, maker and model, the sound profile, sounds and vibration, power states,
// the input method, the camera and picture picker, the soft-key bar, and the data connection.
// Every platform failure reads as a neutral answer (false, 0, empty text or nothing done).
#include <cstdint>

#include "platform/types.h"
#include "runtime/script_object.h"
#include "runtime/wide_string.h"

class XMobileDevice : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "XMobileDevice"

    XMobileDevice() = default;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // Whether an Internet connection is up, asking for one (blocking) when the held one went.
    bool EnsureDataConnection();
    // The connection's address as dotted text, cached until the next new connection.
    NUBO::TWString IpAddress();
    // "sound", "vibrate" or "none".
    static NUBO::TWString SoundProfile();
    // Vibrates `repeat` + 1 times; blocks the thread for the whole pattern.
    static void Vibrate(int onMs, int offMs, int repeat);
    static void PlaySound(const NUBO::TWString& name);

protected:
    ~XMobileDevice() override;

private:
    void DropConnection();

    HANDLE connection_ = nullptr;
    NUBO::TWString ipAddress_;
};
