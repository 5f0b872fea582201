#include "app/program_resources.h"

#include <iterator>

#include "platform/win/resources.h"

namespace {

using platform::resources::IconResource;
using platform::resources::StringResource;

// English, as the rest of the program's screens, where the device's string table was Russian.
const StringResource kStrings[] = {
    {132, u"Tandu - Connection lost"},
    {133, u"Tandu - New message"},
    {134, u"Tandu - New message\t%d of %d"},
    {135, u"Tandu - New messages (%d)"},
    {136, u"Keep as read"},
    {137, u"Read"},
    {138, u"Reply"},
    {139, u"You have %d new messages."},
    {140, u"Mark all as read"},
    {141, u"Send a message"},
    {143, u"Sign in"},
    {144, u"Tandu alerts"},
};

// An envelope: "k" its edges and flap, "w" its paper.
const char* const kEnvelope[16] = {
    "                ", "                ", "                ", " kkkkkkkkkkkkkk ",
    " kkwwwwwwwwwwkk ", " kwkwwwwwwwwkwk ", " kwwkwwwwwwkwwk ", " kwwwkwwwwkwwwk ",
    " kwwwwkwwkwwwwk ", " kwwwwwkkwwwwwk ", " kwwwwwwwwwwwwk ", " kwwwwwwwwwwwwk ",
    " kkkkkkkkkkkkkk ", "                ", "                ", "                ",
};

const COLORREF kQuiet[] = {RGB(0x20, 0x50, 0x90), RGB(0xFF, 0xFF, 0xFF)};
const COLORREF kUrgent[] = {RGB(0x60, 0x30, 0x00), RGB(0xFF, 0xA0, 0x20)};

// Status 1 shows the quiet envelope, status 2 the orange one, in the tray and in the bubble.
const IconResource kIcons[] = {
    {130, 16, kEnvelope, "kw", kQuiet},
    {131, 16, kEnvelope, "kw", kUrgent},
    {134, 16, kEnvelope, "kw", kQuiet},
    {135, 16, kEnvelope, "kw", kUrgent},
};

} // namespace

namespace app {
void RegisterProgramResources() {
    platform::resources::SetProgramResources(kStrings, int(std::size(kStrings)), kIcons, int(std::size(kIcons)));
}
} // namespace app
