#pragma once
// A host window with a real toolbar (five buttons, the second one the logo) and a bubble owner over it that
// answers the button's rectangle the way the toolbar control does: by asking the toolbar, which from the
// bubble's tracking thread is a message sent across threads. Texts come from a map; keys not in it give
// their defaults. It counts rectangle queries, so tests can tell whether tracking still runs, and those made after
// a bubble window had gone.

#include "ui/XBubbleOwner.h"
#include "win/Window.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>

class FakeHostWindow : public win::Window
{
public:
    static constexpr int kLogoCommand = 201;
    static constexpr int kToolbarHeight = 26;

    // Creates the host window (visible, at `origin`, `width` wide) and its toolbar across its top.
    [[nodiscard]] bool Open(POINT origin = {100, 100}, int width = 700) noexcept;
    [[nodiscard]] HWND Toolbar() const noexcept { return m_toolbar.load(); }
    void SetLogoHidden(bool hidden) noexcept;
    void SetLogoWidth(int width) noexcept;
    // The toolbar keeps its left edge and takes `width` (the host gives it its client width on resizing).
    void SetToolbarWidth(int width) noexcept;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept override;

private:
    std::atomic<HWND> m_toolbar{nullptr};
};

class FakeBubbleOwner : public XBubbleOwner
{
public:
    explicit FakeBubbleOwner(FakeHostWindow& host) : m_host(host) {}

    std::wstring GetHostString(const std::wstring& key, const std::wstring& defaultValue) override;
    std::wstring ExpandHostMacros(const std::wstring& text) override { return text; }
    RECT GetButtonScreenRect(const std::wstring& buttonName) override;
    HWND GetToolbarHwnd() override
    {
        const HWND replaced = m_toolbarOverride;
        return replaced ? replaced : m_host.Toolbar();
    }
    HWND GetBrowserHwnd() override { return m_host.Hwnd(); }

    void SetString(const std::wstring& key, const std::wstring& value);
    void SetToolbarOverride(HWND toolbar) { m_toolbarOverride = toolbar; }
    [[nodiscard]] long RectQueries() const { return m_rectQueries; }
    // Rectangle queries made while the watched bubble window was already gone.
    void WatchBubble(HWND bubble) { m_watched = bubble; }
    [[nodiscard]] long QueriesAfterTheWatchedBubbleWent() const { return m_lateQueries; }

private:
    FakeHostWindow& m_host;
    std::mutex m_lock;
    std::map<std::wstring, std::wstring> m_strings;
    std::atomic<HWND> m_toolbarOverride{nullptr};
    std::atomic<long> m_rectQueries{0};
    std::atomic<HWND> m_watched{nullptr};
    std::atomic<long> m_lateQueries{0};
};
