#include "ui/XBitmapButton.h"
#include "ui/XDialog.h"
#include "ui/XGlobalGDI.h"

#include "res/resource.h"
#include "win/GdiHandles.h"
#include "win/Scope.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
// A dialog from the install bubble's template that records the commands it receives.
class RecordingDialog : public ui::XDialog
{
public:
    std::vector<WORD> commands;
    bool closeOnCommand = false;

protected:
    bool DialogProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override
    {
        if (message == WM_COMMAND)
        {
            commands.push_back(LOWORD(wParam));
            if (closeOnCommand)
            {
                Destroy();
            }
            result = 0;
            return true;
        }
        return ui::XDialog::DialogProc(message, wParam, lParam, result);
    }
};

LPARAM At(int x, int y)
{
    return MAKELPARAM(x, y);
}

class BitmapButtonTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ui::TheGlobalGDI().CreateFonts(IDS_FONT_FACE_DEFAULT));
        ASSERT_TRUE(dialog.Create(IDD_INSTALL_BUBBLE, nullptr));
    }
    void SetUpButton(UINT disabledId, const wchar_t* fallbackName)
    {
        ASSERT_TRUE(button.Setup(dialog.Hwnd(), IDCANCEL, RGB(255, 255, 255), IDB_BUBBLE_CLOSE_NORMAL,
            IDB_BUBBLE_CLOSE_HOT, IDB_BUBBLE_CLOSE_PRESSED, disabledId, fallbackName));
    }

    void Press(int x, int y) { ::SendMessageW(button.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, At(x, y)); }
    void Release(int x, int y) { ::SendMessageW(button.Hwnd(), WM_LBUTTONUP, 0, At(x, y)); }

    RecordingDialog dialog;  // declared first: destroyed after the button lets go of its control
    ui::XBitmapButton button;
};
}  // namespace

TEST_F(BitmapButtonTest, DisabledButtonShowsItsImageAndIgnoresPresses)
{
    struct Case
    {
        const char* name;
        UINT disabledId;
        const wchar_t* fallbackName;
        bool disabledImageLoads;
    };
    // The disabled cross is kept under a name, not under the id the bubble asks for.
    const Case cases[] = {
        {"id missing, no fallback", IDB_BUBBLE_CLOSE_DISABLED, nullptr, false},
        {"id missing, named fallback", IDB_BUBBLE_CLOSE_DISABLED, L"IDB_BUBBLE_DISABLED_CLOSE_BTN", true},
        {"id present", IDB_BUBBLE_CLOSE_PRESSED, nullptr, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        SetUpButton(c.disabledId, c.fallbackName);
        EXPECT_EQ(c.disabledImageLoads, button.IsImageLoaded(ui::XBitmapButton::Disabled));
        ::EnableWindow(button.Hwnd(), FALSE);
        EXPECT_EQ(ui::XBitmapButton::Disabled, button.CurrentImage());
        ::UpdateWindow(button.Hwnd());  // paints without an image of its own
        Press(4, 4);
        Release(4, 4);
        EXPECT_TRUE(dialog.commands.empty());
        ::EnableWindow(button.Hwnd(), TRUE);
        Press(4, 4);
        Release(4, 4);
        EXPECT_EQ(std::vector<WORD>{IDCANCEL}, dialog.commands);
        dialog.commands.clear();
    }
}

TEST_F(BitmapButtonTest, WhatTheImagesLeaveUncoveredShowsTheButtonFace)
{
    // No image loads: the drawn cross leaves the corners to the background.
    ASSERT_TRUE(button.Setup(dialog.Hwnd(), IDCANCEL, RGB(255, 255, 255), 9990, 9991, 9992, 9993));
    RECT client{};
    ::GetClientRect(button.Hwnd(), &client);
    ASSERT_GT(client.right, 6);
    const win::MemoryDC dc(::CreateCompatibleDC(nullptr));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), client.right, -client.bottom, 1, 32, BI_RGB};
    void* bits = nullptr;
    const win::Bitmap bitmap(::CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const win::SelectScope select(dc.Get(), bitmap.Get());
    ::SendMessageW(button.Hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT);
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), ::GetPixel(dc.Get(), 0, 0));
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), ::GetPixel(dc.Get(), client.right / 2, 1));
}

TEST_F(BitmapButtonTest, ParentDestroyedByTheClickLeavesNothingBehind)
{
    SetUpButton(IDB_BUBBLE_CLOSE_DISABLED, nullptr);
    dialog.closeOnCommand = true;
    Press(4, 4);
    Release(4, 4);
    EXPECT_FALSE(dialog.IsWindow());
    EXPECT_EQ(nullptr, button.Hwnd());
}

TEST_F(BitmapButtonTest, DialogGivesTheSharedFontToItsControls)
{
    const HFONT shared = ui::TheGlobalGDI().GetFont(ui::GlobalFont::Normal8);
    for (const int id : {IDOK, IDC_BUBBLE_TITLE, IDC_BUBBLE_MESSAGE})
    {
        SCOPED_TRACE(id);
        EXPECT_EQ(reinterpret_cast<LRESULT>(shared), ::SendMessageW(dialog.Item(id), WM_GETFONT, 0, 0));
    }
}
