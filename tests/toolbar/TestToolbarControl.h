#pragma once
// The suite's toolbar control: a small product control over XToolbarController with the same two scripted
// methods (StartupToolbar, OnEvent) as a real one, declared in the suite's own type library. It maps the five
// buttons the host names, lays overlays over the status and update buttons, and logs the framework's calls
// into it (post-start-up, clicks, controller messages) in order.

#include "toolbar/XToolbarController.h"

#include <string>
#include <vector>

// {B60C7ACF-BC69-42FD-BEEC-2A5660067747}
inline constexpr CLSID CLSID_ToolbarTest = {
    0xB60C7ACF, 0xBC69, 0x42FD, {0xBE, 0xEC, 0x2A, 0x56, 0x60, 0x06, 0x77, 0x47}};
// {29C20CB4-EE43-4EE1-9ACF-F2342F6D2407}
inline constexpr IID DIID_DToolbarTest = {0x29C20CB4, 0xEE43, 0x4EE1, {0x9A, 0xCF, 0xF2, 0x34, 0x2F, 0x6D, 0x24, 0x07}};
// {01FC8C4B-FA5F-45A1-9BC1-3EF1AA36418E}
inline constexpr IID DIID_DToolbarTestEvents = {
    0x01FC8C4B, 0xFA5F, 0x45A1, {0x9B, 0xC1, 0x3E, 0xF1, 0xAA, 0x36, 0x41, 0x8E}};

inline constexpr wchar_t kTestDispatcherWindowName[] = L"KelToolbarTestDispatcherWindow";
inline constexpr DWORD kTestMiscStatus = 0x20591;

class TestToolbarControl : public toolbar::XToolbarController
{
public:
    TestToolbarControl() : toolbar::XToolbarController(CLSID_ToolbarTest, DIID_DToolbarTest, DIID_DToolbarTestEvents) {}

    HRESULT StartupToolbar(IDispatch* browser, IDispatch* toolbar, const long commandIds[5]);

    [[nodiscard]] std::vector<std::wstring>& Log() noexcept { return m_log; }
    void SetLayoutAnchor(const std::wstring& name) { m_layoutAnchorButton = name; }

    [[nodiscard]] UINT GetTypeNameResourceId() const noexcept override { return 1000; }
    [[nodiscard]] DWORD GetRegisteredMiscStatus() const noexcept override { return kTestMiscStatus; }
    void ProcessControllerMessage(LPARAM value) noexcept override { Note(L"message " + std::to_wstring(value)); }
    void OnPostStartUp() noexcept override { Note(L"OnPostStartUp"); }
    void OnButtonClicked(const std::wstring& buttonName) noexcept override { Note(L"clicked " + buttonName); }
    [[nodiscard]] toolbar::XToolbarWindow* CreateToolbarWindow() noexcept override;
    [[nodiscard]] DWORD ControlFlags() const noexcept { return GetControlFlags(); }

protected:
    HRESULT InvokeMember(DISPID id, std::span<VARIANT> arguments, VARIANT* result) noexcept override;

private:
    void Note(const std::wstring& what) noexcept;

    std::vector<std::wstring> m_log;
};

// Creates a test control with one reference, as a class factory hands it out.
[[nodiscard]] HRESULT CreateTestToolbarControl(REFIID iid, void** out) noexcept;
