#pragma once
// TestToolbarWindow: a host's toolbar for tests: a top-level window holding a real Win32 toolbar control
// with the buttons a test asks for (command id and width), and a message log of what reaches the toolbar's
// own procedure: the host's attribute message 3036 (with its text), the layout messages 3034 and 3055, the
// toolbar messages that change buttons (hide, enable, set size) and registered messages. The log sits
// behind any subclass installed later, so it shows what the host itself receives.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support
{

class TestToolbarWindow
{
public:
    struct Button
    {
        UINT id;
        int width;
    };
    struct Message
    {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::wstring text;  // 3036: the attribute or script; TB_SETBUTTONINFOW with a size: the width

        bool operator==(const Message&) const = default;
    };

    explicit TestToolbarWindow(const std::vector<Button>& buttons, int width = 600, int height = 28);
    ~TestToolbarWindow();
    TestToolbarWindow(const TestToolbarWindow&) = delete;
    TestToolbarWindow& operator=(const TestToolbarWindow&) = delete;

    [[nodiscard]] HWND Toolbar() const noexcept { return m_toolbar; }
    [[nodiscard]] HWND Frame() const noexcept { return m_frame; }  // the toolbar's parent, the host's window
    [[nodiscard]] const std::vector<Message>& Messages() const noexcept { return m_messages; }
    void ClearMessages() noexcept { m_messages.clear(); }
    // Also told of every logged message (for a test's own event order).
    void SetObserver(std::function<void(const Message&)> observer) { m_observer = std::move(observer); }

    // The host item's width and hidden state, read from the toolbar directly.
    [[nodiscard]] int ButtonWidth(UINT id) const;
    [[nodiscard]] bool IsHidden(UINT id) const;
    void DestroyToolbar() noexcept;

private:
    static LRESULT CALLBACK Record(
        HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self) noexcept;

    HWND m_frame = nullptr;
    HWND m_toolbar = nullptr;
    std::vector<Message> m_messages;
    std::function<void(const Message&)> m_observer;
};

}  // namespace testing_support
