#pragma once
// InstallBubbleDialog: the balloon shown once after installation, pointing at the toolbar's logo button:
// an icon, a title wrapped to at most three lines, a message just below it and a "Close" button. Texts and
// font sizes come from the host's settings through the owner. Both the text button and the cross close it.
// Owned by the toolbar control (see ShowInstallBubbleOnce); UI thread, except the anchor geometry, which
// the tracking thread asks for.

#include "bubble/XToolbarBubbleDialog.h"
#include "ui/XButton.h"
#include "ui/XStatic.h"

namespace bubble
{

class InstallBubbleDialog : public XToolbarBubbleDialog
{
public:
    static constexpr LONG kAnchorShift = 60;  // the pointer's tip sits this far right of the bubble's left
    static constexpr LONG kRightEdgeMargin = 43;  // hidden when the button is this close to the toolbar's end
    static constexpr int kTitleMessageGap = 2;
    static constexpr int kMessageCloseGap = 6;
    static constexpr int kMaxTitleLines = 3;

    explicit InstallBubbleDialog(ui::XBubbleOwner* owner) noexcept;
    ~InstallBubbleDialog() override;

    bool CloseBubble() noexcept override;
    void GetAnchorRect(RECT& rect) noexcept override;
    void LayoutControls() override;
    [[nodiscard]] LONG GetRightLimit() noexcept override;

    // The number of lines `text` takes in `font` at `width` pixels, at least 1 and at most kMaxTitleLines,
    // and the height of one line.
    [[nodiscard]] static int CountTitleLines(
        HWND control, HFONT font, const std::wstring& text, int width, int& lineHeight) noexcept;

protected:
    BOOL OnInitDialog() override;
    bool DialogProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    [[nodiscard]] const wchar_t* GetDisabledCloseImageName() const noexcept override;

private:
    void MakeFonts();
    void Layout();

    ui::XButton m_closeText;
    ui::XStatic m_icon;
    ui::XStatic m_title;
    ui::XStatic m_message;
    win::Font m_titleFont;
    win::Font m_contentFont;
    int m_messageHeight = 0;  // the template's message height, bubble height and Close button top
    int m_bubbleHeight = 0;
    int m_closeTop = 0;
};

}  // namespace bubble
