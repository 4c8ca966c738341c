#include "ui/XBitmapButton.h"
#include "ui/XDialog.h"
#include "ui/XGlobalGDI.h"

#include "res/resource.h"
#include "win/Handle.h"
#include "win/Scope.h"

#include <gtest/gtest.h>

namespace
{
// A dialog from the install bubble's template that closes on the first command it receives, as the bubble does.
class ClosingDialog : public ui::XDialog
{
protected:
    bool DialogProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override
    {
        if (message == WM_COMMAND)
        {
            Destroy();
            result = 0;
            return true;
        }
        return ui::XDialog::DialogProc(message, wParam, lParam, result);
    }
};

class BitmapButtonTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ui::TheGlobalGDI().CreateFonts(IDS_FONT_FACE_DEFAULT));
        ASSERT_TRUE(dialog.Create(IDD_INSTALL_BUBBLE, nullptr));
    }

    ClosingDialog dialog;  // declared first: destroyed after the button lets go of its control
    ui::XBitmapButton button;
};
}  // namespace

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
    ASSERT_TRUE(button.Setup(dialog.Hwnd(), IDCANCEL, RGB(255, 255, 255), IDB_BUBBLE_CLOSE_NORMAL, IDB_BUBBLE_CLOSE_HOT,
        IDB_BUBBLE_CLOSE_PRESSED, IDB_BUBBLE_CLOSE_DISABLED));
    ::SendMessageW(button.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    ::SendMessageW(button.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
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
