// A host window with a toolbar and the install bubble under its logo button, for looking at the bubble on a
// real display (scripts/screenshot-bubble). Arguments: the seconds to run (default 10), then optionally a
// title to show instead of the default one.

#include "FakeBubbleOwner.h"

#include "bubble/InstallBubbleDialog.h"
#include "res/resource.h"
#include "ui/XGlobalGDI.h"
#include "win/Strings.h"

#include <memory>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int)
{
    const int seconds = commandLine && *commandLine ? win::ParseDecimal(commandLine) : 10;
    (void)TheGlobalGDI().CreateFonts(IDS_FONT_FACE_DEFAULT);
    FakeHostWindow host;
    if (!host.Open(POINT{40, 40}, 720))
    {
        return 1;
    }
    FakeBubbleOwner owner(host);
    const std::wstring arguments = commandLine ? commandLine : L"";
    const std::size_t space = arguments.find(L' ');
    if (space != std::wstring::npos && space + 1 < arguments.size())
    {
        std::wstring title = arguments.substr(space + 1);
        if (title.size() >= 2 && title.front() == L'"' && title.back() == L'"')
        {
            title = title.substr(1, title.size() - 2);
        }
        owner.SetString(L"KelTb.Str.Install.Bubble.Title", title);
    }
    auto bubble = std::make_unique<InstallBubbleDialog>(&owner);
    if (!bubble->CreateBubble(host.Hwnd()))
    {
        return 2;
    }
    ::SetTimer(nullptr, 0, static_cast<UINT>(seconds > 0 ? seconds : 10) * 1000, nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr)
        {
            break;
        }
        if (!bubble->IsWindow() || !::IsDialogMessageW(bubble->Hwnd(), &msg))
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    bubble.reset();
    return 0;
}
