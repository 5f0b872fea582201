#include "app/program_resources.h"

#include <iterator>

#include "platform/win/resources.h"

namespace {

using platform::resources::IconResource;
using platform::resources::StringResource;

const StringResource kStrings[] = {
    {132, u"Tandu - Соединение прервано"},
    {133, u"Tandu - Новое сообщение"},
    {134, u"Tandu - Новое сообщение\t%d из %d"},
    {135, u"Tandu - Новое сообщение (%d)"},
    {136, u"Сохранить как прочитанное"},
    {137, u"Прочитать"},
    {138, u"Ответить"},
    {139, u"У вас %d новых сообщений."},
    {140, u"Отметить все как прочитанные"},
    {141, u"Отправить МС"},
    {143, u"Войти"},
    {144, u"Предупреждения Tandu"},
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
