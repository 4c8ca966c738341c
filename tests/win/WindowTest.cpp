#include "win/Module.h"
#include "win/Scope.h"
#include "win/Window.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

// Records the messages it is shown and answers WM_USER + 1 with 41.
class RecordingWindow : public win::Window
{
public:
    std::vector<UINT> messages;
    int finalMessages = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept override
    {
        messages.push_back(message);
        if (message == WM_USER + 1)
        {
            return 41;
        }
        return Default(message, wParam, lParam);
    }
    void OnFinalMessage() noexcept override { ++finalMessages; }
};

bool Saw(const RecordingWindow& w, UINT message)
{
    return std::find(w.messages.begin(), w.messages.end(), message) != w.messages.end();
}

// A foreign window whose own procedure must keep running under the subclass and after it.
LRESULT CALLBACK ForeignProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER + 2)
    {
        return 7;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

// A window of another component's class.
HWND NewForeignWindow()
{
    WNDCLASSEXW wc{sizeof(wc)};
    wc.lpfnWndProc = &ForeignProc;
    wc.hInstance = win::ThisModule();
    wc.lpszClassName = L"NorvixTest.Foreign";
    EXPECT_TRUE(win::Window::RegisterClassOnce(wc));
    return ::CreateWindowExW(
        0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, win::ThisModule(), nullptr);
}

TEST(WindowTest, SubclassKeepsThePreviousProcedureAndUnsubclassRestoresIt)
{
    const HWND foreign = NewForeignWindow();
    ASSERT_NE(nullptr, foreign);
    {
        RecordingWindow window;
        ASSERT_TRUE(window.Subclass(foreign));
        RecordingWindow second;
        EXPECT_FALSE(second.Subclass(foreign));  // one object per window
        EXPECT_EQ(41, ::SendMessageW(foreign, WM_USER + 1, 0, 0));
        EXPECT_EQ(7, ::SendMessageW(foreign, WM_USER + 2, 0, 0));
        EXPECT_TRUE(Saw(window, WM_USER + 2));
        EXPECT_TRUE(window.Unsubclass());
        EXPECT_EQ(nullptr, win::Window::FromHandle(foreign));
        EXPECT_EQ(reinterpret_cast<LONG_PTR>(&ForeignProc), ::GetWindowLongPtrW(foreign, GWLP_WNDPROC));
        EXPECT_TRUE(window.Subclass(foreign));
    }
    // The object went away while subclassing: the window lives on with its own procedure.
    EXPECT_TRUE(::IsWindow(foreign));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(&ForeignProc), ::GetWindowLongPtrW(foreign, GWLP_WNDPROC));
    EXPECT_EQ(0, ::SendMessageW(foreign, WM_USER + 1, 0, 0));

    // A subclassed window destroyed by its owner unbinds the object.
    RecordingWindow window;
    ASSERT_TRUE(window.Subclass(foreign));
    ::DestroyWindow(foreign);
    EXPECT_EQ(nullptr, window.Hwnd());
    EXPECT_EQ(1, window.finalMessages);
    EXPECT_FALSE(window.Unsubclass());
}

// Another component's subclass installed after ours: it counts what it sees and passes everything on.
WNDPROC g_laterPrevious = nullptr;
int g_laterSeen = 0;
LRESULT CALLBACK LaterProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER + 2)
    {
        ++g_laterSeen;
    }
    return ::CallWindowProcW(g_laterPrevious, hwnd, message, wParam, lParam);
}

TEST(WindowTest, UnsubclassUnderASubclassInstalledLaterKeepsTheChainWhole)
{
    const HWND foreign = NewForeignWindow();
    ASSERT_NE(nullptr, foreign);
    const win::ScopeExit destroy([foreign] { ::DestroyWindow(foreign); });
    RecordingWindow ours;
    ASSERT_TRUE(ours.Subclass(foreign));
    g_laterSeen = 0;
    g_laterPrevious =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(foreign, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterProc)));

    // Ours goes first: the later procedure stays installed and messages still pass through it to the window's
    // own procedure; ours only forwards.
    EXPECT_TRUE(ours.Unsubclass());
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(&LaterProc), ::GetWindowLongPtrW(foreign, GWLP_WNDPROC));
    ours.messages.clear();
    EXPECT_EQ(7, ::SendMessageW(foreign, WM_USER + 2, 0, 0));
    EXPECT_EQ(1, g_laterSeen);
    EXPECT_TRUE(ours.messages.empty());

    // Subclassed again meanwhile, our object takes its old place behind the later procedure.
    RecordingWindow again;
    ASSERT_TRUE(again.Subclass(foreign));
    EXPECT_EQ(41, ::SendMessageW(foreign, WM_USER + 1, 0, 0));
    EXPECT_EQ(7, ::SendMessageW(foreign, WM_USER + 2, 0, 0));
    EXPECT_EQ(2, g_laterSeen);
    EXPECT_TRUE(again.Unsubclass());

    // The later component unsubclasses as it expects to: what it puts back still reaches the window's procedure.
    ::SetWindowLongPtrW(foreign, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_laterPrevious));
    EXPECT_EQ(7, ::SendMessageW(foreign, WM_USER + 2, 0, 0));
    EXPECT_EQ(0, ::SendMessageW(foreign, WM_USER + 1, 0, 0));
    EXPECT_EQ(2, g_laterSeen);
}

}  // namespace
