#pragma once
// Scope guards for the paired calls of Win32: each undoes exactly what its constructor did, on every path.

#include "win/ThreadAffinity.h"

#include <windows.h>

#include <objbase.h>

#include <utility>

namespace win
{

// A DC from GetDC, given back with ReleaseDC (not DeleteDC: a borrowed DC is not a created one).
class WindowDC
{
public:
    explicit WindowDC(HWND window) noexcept : m_window(window), m_dc(::GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC()
    {
        if (m_dc)
        {
            ::ReleaseDC(m_window, m_dc);
        }
    }
    [[nodiscard]] HDC Get() const noexcept { return m_dc; }
    explicit operator bool() const noexcept { return m_dc != nullptr; }

private:
    HWND m_window;
    HDC m_dc;
};

// BeginPaint/EndPaint.
class PaintScope
{
public:
    explicit PaintScope(HWND window) noexcept : m_window(window) { m_dc = ::BeginPaint(window, &m_paint); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { ::EndPaint(m_window, &m_paint); }
    [[nodiscard]] HDC Get() const noexcept { return m_dc; }
    [[nodiscard]] const PAINTSTRUCT& Info() const noexcept { return m_paint; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint{};
    HDC m_dc = nullptr;
};

// SelectObject, with the displaced object selected back at the end.
class SelectScope
{
public:
    SelectScope(HDC dc, HGDIOBJ object) noexcept : m_dc(dc), m_previous(object ? ::SelectObject(dc, object) : nullptr)
    {
    }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;
    ~SelectScope()
    {
        if (m_previous && m_previous != HGDI_ERROR)
        {
            ::SelectObject(m_dc, m_previous);
        }
    }

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

// SaveDC/RestoreDC.
class SaveDCScope
{
public:
    explicit SaveDCScope(HDC dc) noexcept : m_dc(dc), m_state(::SaveDC(dc)) {}
    SaveDCScope(const SaveDCScope&) = delete;
    SaveDCScope& operator=(const SaveDCScope&) = delete;
    ~SaveDCScope()
    {
        if (m_state != 0)
        {
            ::RestoreDC(m_dc, m_state);
        }
    }

private:
    HDC m_dc;
    int m_state;
};

// COM on the calling thread; uninitialised at the end only when this guard's call succeeded. Movable, so an
// owner can hold it, but only within the thread that made it: CoUninitialize must run there. A release on
// another thread is a broken rule (ThreadAffinity); it is reported and leaves COM alone.
class ComInit
{
public:
    explicit ComInit(DWORD model = COINIT_APARTMENTTHREADED) noexcept : m_result(::CoInitializeEx(nullptr, model)) {}
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;
    ComInit(ComInit&& other) noexcept
        : m_result(std::exchange(other.m_result, CO_E_NOTINITIALIZED)), m_affinity(other.m_affinity)
    {
    }
    ComInit& operator=(ComInit&& other) noexcept
    {
        if (this != &other)
        {
            Uninitialize();
            m_result = std::exchange(other.m_result, CO_E_NOTINITIALIZED);
            m_affinity = other.m_affinity;
        }
        return *this;
    }
    ~ComInit() { Uninitialize(); }
    [[nodiscard]] HRESULT Result() const noexcept { return m_result; }

private:
    void Uninitialize() noexcept
    {
        if (SUCCEEDED(m_result) && WIN_CHECK_THREAD(m_affinity))
        {
            ::CoUninitialize();
        }
        m_result = CO_E_NOTINITIALIZED;
    }

    HRESULT m_result;
    ThreadAffinity m_affinity;
};

// Runs a callable at scope exit.
template <typename F>
class ScopeExit
{
public:
    explicit ScopeExit(F f) noexcept : m_f(std::move(f)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit()
    {
        if (m_active)
        {
            m_f();
        }
    }
    void Dismiss() noexcept { m_active = false; }

private:
    F m_f;
    bool m_active = true;
};

}  // namespace win
