#include "Core/Controller.h"

#include "Core/NorvixIds.h"
#include "Core/NorvixToolbarWindow.h"
#include "toolbar/XToolbarButtonControl.h"
#include "bubble/InstallBubbleDialog.h"
#include "bubble/ShowInstallBubble.h"
#include "bubble/XToolbarBubbleConfigFile.h"
#include "platform/BrowserUtilities.h"
#include "win/ComRegistration.h"
#include "win/Module.h"
#include "win/Strings.h"

#include <new>

namespace
{
// The five buttons, in the order StartupToolbar gives their command ids.
constexpr const wchar_t* kButtonOrder[] = {
    kButtonKelSearch, kButtonKelLogo, kButtonPaviseStatus, kButtonNorvixUpdate, kButtonKelOptions};
} // namespace

const win::ClassEntry Controller::ControllerFactory::kEntry = {
    &CLSID_Norvix, &Controller::ControllerFactory::CreateInstance};

HRESULT Controller::ControllerFactory::CreateInstance(REFIID iid, void** out) noexcept
{
    return win::CreateComObject<Controller>(iid, out);
}

HRESULT Controller::ControllerFactory::UpdateRegistry(bool registering) noexcept
{
    try
    {
        if (!registering)
        {
            return win::UnregisterControl(CLSID_Norvix, kNorvixProgId);
        }
        const HMODULE module = win::ThisModule();
        return win::RegisterControl({CLSID_Norvix, kNorvixProgId, win::LoadStringResource(module, 1000),
            win::ModuleFileName(module), 1000, kNorvixMiscStatus, LIBID_NorvixLib, kNorvixTypeLibMajor,
            kNorvixTypeLibMinor});
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
}

// The control raises no events of its own (they reach the host through its toolbar event); its event
// interface is still the type library's, so a container that looks for it finds the connection point.
Controller::Controller()
    : XToolbarController(CLSID_Norvix, DIID__DNorvix, DIID__DNorvixEvents), ControllerSettings(m_anyThreadHost),
      m_anyThreadHost(static_cast<XToolbarController&>(*this))
{
}

Controller::~Controller()
{
    ShutDown();
}

DWORD Controller::GetRegisteredMiscStatus() const noexcept
{
    return kNorvixMiscStatus;
}

XToolbarWindow* Controller::CreateToolbarWindow() noexcept
{
    return new (std::nothrow) NorvixToolbarWindow();
}

HRESULT Controller::StartupToolbar(IDispatch* browser, IDispatch* toolbar, long btnIDKelSearch, long btnIDKelLogo,
    long btnIDPaviseStatus, long btnIDNorvixUpdate, long btnIDOptions) noexcept
{
    try
    {
        const HRESULT hr = StartUp(browser, toolbar, kDispatcherWindowName);
        if (FAILED(hr))
        {
            return hr;
        }
        // A second start-up replaces the first: its worker, file and overlays go before new ones are made.
        StopPolling();
        CloseStatusFile();
        while (!ButtonControls().empty())
        {
            const std::wstring name = ButtonControls().front()->Name();
            RemoveButtonControl(name);
        }
        (void)m_anyThreadHost.Publish(toolbar);
        if (!m_api.Initialize(&m_anyThreadHost))
        {
            return E_FAIL;
        }
        OpenStatusFile();

        m_buttonCommandIds.clear();
        const long ids[] = {btnIDKelSearch, btnIDKelLogo, btnIDPaviseStatus, btnIDNorvixUpdate, btnIDOptions};
        for (size_t i = 0; i < std::size(ids); ++i)
        {
            m_buttonCommandIds[kButtonOrder[i]] = win::Format(L"%ld", ids[i]);
        }
        for (size_t i = 0; i < std::size(ids); ++i)
        {
            m_buttonNames[win::Format(L"%ld", ids[i])] = kButtonOrder[i];
        }

        m_showTextLabels = GetShowTextLabels() ? TRUE : FALSE;
        CreateButtonControl(GetButtonName(btnIDPaviseStatus), kPaviseControlId);
        CreateButtonControl(GetButtonName(btnIDNorvixUpdate), kNorvixControlId);
        m_layoutAnchorButton = GetButtonName(btnIDNorvixUpdate);

        {
            std::lock_guard lock(m_statusFileLock);
            if (const StatusConfigStream* record = m_statusFile ? m_statusFile->GetRecord() : nullptr)
            {
                (void)m_api.SetStatuses(static_cast<PaviseStatus>(record->m_paviseStatus),
                    static_cast<NorvixStatus>(record->m_norvixStatus));
            }
        }
        RefreshStatusButtons();
        StartPolling();
        return S_OK;
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
}

HRESULT Controller::OnEvent(const VARIANT* eventId) noexcept
{
    // A null BSTR is an absent argument; a BSTR without characters an empty name.
    if (!eventId || eventId->vt != VT_BSTR || !eventId->bstrVal)
    {
        return E_FAIL;
    }
    if (::SysStringLen(eventId->bstrVal) == 0)
    {
        return E_POINTER;
    }
    try
    {
        if (!win::EqualsNoCase(eventId->bstrVal, host::kUpdateStatusEvent))
        {
            return E_NOTIMPL;
        }
        ReloadStatusFile();
        RefreshStatusButtons();
        return S_OK;
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
}

HRESULT Controller::InvokeMember(DISPID id, std::span<VARIANT> arguments, VARIANT* result) noexcept
{
    HRESULT hr = S_OK;
    if (id == 1 && arguments.size() == 7)
    {
        hr = StartupToolbar(arguments[0].pdispVal, arguments[1].pdispVal, arguments[2].lVal, arguments[3].lVal,
            arguments[4].lVal, arguments[5].lVal, arguments[6].lVal);
    }
    else if (id == 2 && arguments.size() == 1)
    {
        hr = OnEvent(&arguments[0]);
    }
    else
    {
        return DISP_E_MEMBERNOTFOUND;
    }
    if (result)
    {
        result->vt = VT_I4;
        result->lVal = hr;
    }
    return S_OK;
}

int Controller::ShutDown() noexcept
{
    CloseInstallBubble();
    StopPolling();
    m_api.Reset();
    CloseStatusFile();
    m_anyThreadHost.Withdraw();
    return XToolbarController::ShutDown();
}

void Controller::CloseInstallBubble() noexcept
{
    if (m_installBubble && m_installBubble->IsWindow())
    {
        m_installBubble->CloseBubble();
    }
    m_installBubble.reset();
    m_bubbleConfigFile.reset();
}

void Controller::OnPostStartUp() noexcept
{
    try
    {
        CloseInstallBubble();
        const std::wstring path = GetWriteableFolder(L"KelToolbar", TRUE) + kInstallBubbleFileName;
        (void)ShowInstallBubbleOnce(*this, GetBrowserWindow(), path, m_bubbleConfigFile, m_installBubble);
    }
    catch (...)
    {
    }
}

void Controller::ProcessControllerMessage(LPARAM value) noexcept
{
    if (value != kStatusPublishedMessage || IsShuttingDown())
    {
        return;
    }
    try
    {
        RefreshStatusButtons();
        FireToolbarEvent(host::kUpdateStatusEvent, 1);
    }
    catch (...)
    {
    }
}

void Controller::ReloadTextLabels()
{
    m_showTextLabels = GetShowTextLabels() ? TRUE : FALSE;
    RefreshStatusButtons();
}
