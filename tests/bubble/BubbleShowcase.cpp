// A host window with a toolbar and the install bubble under its logo button, for looking at the bubble on a
// real display (scripts/screenshot-bubble). Runs for the number of seconds given (default 10), then ends.

#include "FakeBubbleOwner.h"

#include "bubble/InstallBubbleDialog.h"
#include "Core/res/resource.h"
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
