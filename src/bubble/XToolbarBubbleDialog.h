#pragma once
// XToolbarBubbleDialog: a modeless, borderless balloon that points at one button of the host's toolbar and
// follows it while the browser window moves or resizes. Its outline is drawn from nine frame bitmaps (four
// unscaled corners, four stretched edges, and one whose top-left pixel names the transparent colour); the
// window region keeps only the corners' non-transparent pixels, so the outline is round and the pointer
// stands out above the body.
//
// A tracking thread re-positions the balloon every 10 ms. It only reads window state and asks for changes
// asynchronously (SWP_ASYNCWINDOWPOS, ShowWindowAsync, posted messages), so it never waits for the UI
// thread. The UI thread stops it when the window is destroyed, waiting while it still handles the messages
// other threads send it (the owner's button query goes to the toolbar), so neither waits for the other and
// nothing touches the window after it has gone.
//
// The owner (the toolbar control) creates, keeps and deletes the bubble; it must outlive the bubble's
// window. Concrete bubbles derive from this class, supply the anchor geometry and add their controls.
// Every concrete destructor calls StopTracking() and Destroy() first, because the tracking thread calls
// the derived class's virtual functions.

#include "ui/XBitmapButton.h"
#include "ui/XBubbleOwner.h"
#include "ui/XDialog.h"
#include "win/GdiHandles.h"
#include "win/Thread.h"

#include <array>
#include <atomic>
#include <memory>
#include <string>

namespace bubble
{

class XToolbarBubbleDialog;

struct XPositionTrackingThreadData
{
    std::atomic<LONG> stop{0};
    XToolbarBubbleDialog* dialog = nullptr;
};

class XToolbarBubbleDialog : public ui::XDialog
{
public:
    static constexpr std::size_t kFramePieces = 8;
    using FrameIds = std::array<UINT, kFramePieces + 1>;  // eight pieces, then the transparent-colour key
    using CloseIds = std::array<UINT, 4>;  // normal, hot, pressed, disabled
    using FrameRects = std::array<RECT, kFramePieces>;
    using FrameSizes = std::array<SIZE, kFramePieces>;

    XToolbarBubbleDialog(UINT templateId, ui::XBubbleOwner* owner, std::wstring anchorButtonName,
        const FrameIds& frameIds, const CloseIds& closeIds) noexcept;
    ~XToolbarBubbleDialog() override;

    // Creates the window from the template, owned by `parentWindow`; the tracking thread shows it.
    [[nodiscard]] virtual bool CreateBubble(HWND parentWindow) noexcept;
    // Destroys the window (stopping the tracking thread first); true.
    virtual bool CloseBubble() noexcept;
    [[nodiscard]] virtual COLORREF GetBackgroundColor() const noexcept { return RGB(255, 255, 255); }
    [[nodiscard]] virtual COLORREF GetFrameColor() const noexcept { return RGB(255, 255, 255); }
    // Moves the target rectangle (placed below the anchor button) to where the bubble should stand.
    // Runs on the tracking thread.
    virtual void GetAnchorRect(RECT& rect) noexcept;
    // Places the controls after the bubble has moved; UI thread.
    virtual void LayoutControls() {}
    // A screen x; the bubble hides while it is at or beyond the right edge of the (widened) toolbar.
    // Runs on the tracking thread.
    [[nodiscard]] virtual LONG GetRightLimit() noexcept { return 0; }

    [[nodiscard]] bool IsTracking() const noexcept { return m_trackingThread != nullptr; }
    [[nodiscard]] COLORREF GetTransparentColor() const noexcept { return m_transparentColor; }
    [[nodiscard]] ui::XBitmapButton& CloseButton() noexcept { return m_closeButton; }

    // How far below the anchor button's bottom the bubble stands: 1 on Windows 2000 and XP, on Vista and later
    // -1 with visual styles and 1 without, 0 otherwise; VerticalOffset answers for this system now.
    [[nodiscard]] static int VerticalOffsetFor(bool windows2000OrXP, bool vistaOrLater, bool themeActive) noexcept;
    [[nodiscard]] static int VerticalOffset() noexcept;
    // Where the eight pieces go in `client`, and the inner rectangle they enclose.
    [[nodiscard]] static FrameRects PlaceFrame(const RECT& client, const FrameSizes& sizes, RECT& inner) noexcept;
    // The region that the frame covers: the non-transparent pixels of the unscaled pieces (1, 2, 4, 5),
    // the whole rectangles of the stretched ones and the inner rectangle. A null bitmap adds nothing.
    [[nodiscard]] static win::RegionHandle BuildFrameRegion(
        const RECT& client, const std::array<HBITMAP, kFramePieces>& pieces, COLORREF transparent);

protected:
    bool DialogProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    BOOL OnInitDialog() override;
    void OnDestroy() noexcept override;

    // A bitmap resource name tried when the disabled close image's id does not load.
    [[nodiscard]] virtual const wchar_t* GetDisabledCloseImageName() const noexcept { return nullptr; }

    [[nodiscard]] ui::XBubbleOwner* Owner() const noexcept { return m_owner; }
    [[nodiscard]] const std::wstring& AnchorButtonName() const noexcept { return m_anchorButtonName; }

    void StartTracking();
    // Ends the tracking thread, if any, and returns once it has ended. UI thread.
    void StopTracking() noexcept;
    // One pass of the tracking thread.
    void Reposition() noexcept;

private:
    static DWORD TrackingThreadBody(XPositionTrackingThreadData* data) noexcept;
    void Paint(HDC dc);
    void MakeBackgroundBrush() noexcept;
    void LoadFrame() noexcept;

    win::Brush m_backgroundBrush;
    ui::XBitmapButton m_closeButton;
    ui::XBubbleOwner* m_owner;
    std::wstring m_anchorButtonName;
    UINT m_templateId;
    FrameIds m_frameIds;
    std::array<win::Bitmap, kFramePieces + 1> m_frame;
    CloseIds m_closeIds;
    COLORREF m_transparentColor = RGB(255, 0, 255);
    std::unique_ptr<win::Thread> m_trackingThread;
    std::atomic<LONG> m_pendingShow{0};
    XPositionTrackingThreadData m_trackingData;
    RECT m_lastTarget{};  // tracking thread only
    unsigned m_passesSinceMove = 0;
};

}  // namespace bubble
