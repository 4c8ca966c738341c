#pragma once
// The bubble tests' host: a test toolbar window with five buttons, the second one the logo, and a bubble owner
// over it that answers the logo's rectangle the way the toolbar control does: by asking the toolbar, which from
// the bubble's tracking thread is a message sent across threads. Texts come from `strings`. It counts rectangle
// queries, so tests can tell whether tracking still runs, and those made after a bubble window had gone.

#include "support/FakeHostStrings.h"
#include "support/TestToolbarWindow.h"
#include "ui/XBubbleOwner.h"

#include <atomic>
#include <memory>

class FakeBubbleOwner : public ui::XBubbleOwner
{
public:
    static constexpr UINT kLogoCommand = 201;

    // A new host window; an open one goes first.
    void OpenHost();
    void CloseHost() noexcept { ::DestroyWindow(HostWindow()); }
    [[nodiscard]] HWND HostWindow() const noexcept { return m_host ? m_host->Frame() : nullptr; }
    void SetLogoHidden(bool hidden) const noexcept;
    void SetLogoWidth(int width) const noexcept;
    // The toolbar keeps its left edge and takes `width`.
    void SetToolbarWidth(int width) const noexcept;

    std::wstring GetHostString(const std::wstring& key, const std::wstring& defaultValue) override
    {
        return strings.GetHostString(key, defaultValue);
    }
    std::wstring ExpandHostMacros(const std::wstring& text) override { return text; }
    RECT GetButtonScreenRect(const std::wstring& buttonName) override;
    HWND GetToolbarHwnd() override
    {
        const HWND replaced = m_toolbarOverride;
        return replaced ? replaced : m_toolbar.load();
    }
    HWND GetBrowserHwnd() override { return HostWindow(); }

    void SetToolbarOverride(HWND toolbar) { m_toolbarOverride = toolbar; }
    [[nodiscard]] long RectQueries() const { return m_rectQueries; }
    // Rectangle queries made while the watched bubble window was already gone.
    void WatchBubble(HWND bubble) { m_watched = bubble; }
    [[nodiscard]] long QueriesAfterTheWatchedBubbleWent() const { return m_lateQueries; }

    testing_support::FakeHostStrings strings;  // set before a bubble opens

private:
    std::unique_ptr<testing_support::TestToolbarWindow> m_host;
    std::atomic<HWND> m_toolbar{nullptr};  // read by the tracking thread
    std::atomic<HWND> m_toolbarOverride{nullptr};
    std::atomic<long> m_rectQueries{0};
    std::atomic<HWND> m_watched{nullptr};
    std::atomic<long> m_lateQueries{0};
};
