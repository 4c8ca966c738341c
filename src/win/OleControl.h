#pragma once
// OleControl: the base of an invisible ActiveX control that a container creates, sites and scripts. It
// answers IDispatch for the control's dispinterface from the type library embedded in this module (names
// to DISPIDs, argument count and type checks, DISP_E_* for bad calls) and hands each checked call to
// InvokeMember; IsInvokeAllowed can refuse any call before it is looked at. Besides it offers what a
// container needs to create and site a control: IOleObject, IOleControl, IPersistStreamInit,
// IProvideClassInfo2 and an IConnectionPointContainer with one connection point, for the event
// dispinterface, through which the control raises nothing; both the points and a point's connections can be
// enumerated.
//
// The control lives on the thread that created it (apartment threading): a call from another thread is a broken
// rule (ThreadAffinity): Invoke, SetClientSite and Close refuse it with RPC_E_WRONG_THREAD. Every COM method is
// noexcept; the work of one that may throw runs inside win::ComBoundary, which reports the exception and returns
// E_OUTOFMEMORY for an allocation failure and E_UNEXPECTED for any other. A derived class may add interfaces with
// AddInterface in its constructor. The type library is loaded on first use; without it dispatch calls fail with
// TYPE_E_ELEMENTNOTFOUND or E_FAIL and nothing else is affected.

#include "win/ComObject.h"
#include "win/ComPtr.h"
#include "win/ThreadAffinity.h"

#include <ocidl.h>
#include <oleidl.h>

#include <span>
#include <vector>

namespace win
{

class OleControl : public ComObject,
                   public IDispatch,
                   public IOleObject,
                   public IOleControl,
                   public IPersistStreamInit,
                   public IProvideClassInfo2,
                   public IConnectionPointContainer
{
public:
    // Control flag of GetControlFlags: the control can be activated without a window of its own.
    static constexpr DWORD kWindowlessActivate = 0x10;

    WIN_COM_IUNKNOWN

    [[nodiscard]] const CLSID& ClassId() const noexcept { return m_classId; }
    [[nodiscard]] IUnknown* Unknown() noexcept { return static_cast<IDispatch*>(this); }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(
        REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
        EXCEPINFO* exception, UINT* badArgument) noexcept override;

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) noexcept override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) noexcept override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) noexcept override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) noexcept override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** data) noexcept override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) noexcept override;
    HRESULT STDMETHODCALLTYPE Update() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* classId) noexcept override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* userType) noexcept override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) noexcept override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) noexcept override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advises) noexcept override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) noexcept override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) noexcept override { return E_NOTIMPL; }

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) noexcept override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) noexcept override { return S_OK; }

    // IPersistStreamInit (the control keeps no state of its own: loading reads nothing, saving writes nothing)
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) noexcept override;
    HRESULT STDMETHODCALLTYPE IsDirty() noexcept override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) noexcept override { return stream ? S_OK : E_POINTER; }
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL) noexcept override { return stream ? S_OK : E_POINTER; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) noexcept override;
    HRESULT STDMETHODCALLTYPE InitNew() noexcept override { return S_OK; }

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) noexcept override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) noexcept override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) noexcept override;

protected:
    // `dispatchIid` names the dispinterface in the embedded type library, `eventsIid` the event interface.
    OleControl(const CLSID& classId, const IID& dispatchIid, const IID& eventsIid);
    ~OleControl() override;

    [[nodiscard]] std::span<const InterfaceEntry> InterfaceTable() const noexcept override;
    void AddInterface(const InterfaceEntry& entry) { m_interfaces.push_back(entry); }

    // The gate in front of every dispatch call; the base lets all through.
    [[nodiscard]] virtual BOOL IsInvokeAllowed(DISPID id) noexcept;
    // A checked dispatch call: `arguments` in declaration order, each already of its declared type. Write
    // the result (of any type; it is converted to the declared one) into `result`.
    virtual HRESULT InvokeMember(DISPID id, std::span<VARIANT> arguments, VARIANT* result) noexcept = 0;

    [[nodiscard]] virtual DWORD GetControlFlags() const noexcept { return 0; }
    [[nodiscard]] virtual DWORD GetOleMiscStatus() const noexcept { return OLEMISC_INVISIBLEATRUNTIME; }

    [[nodiscard]] IOleClientSite* ClientSite() const noexcept { return m_clientSite.Get(); }
    // The thread the control belongs to: the one that created it.
    [[nodiscard]] const ThreadAffinity& Affinity() const noexcept { return m_affinity; }

private:
    struct Member;

    [[nodiscard]] HRESULT LoadTypeInfo() noexcept;
    [[nodiscard]] HRESULT EnsureEventsPoint() noexcept;
    // The member with this DISPID that answers a call of these DISPATCH_* flags, or null.
    [[nodiscard]] const Member* FindMember(DISPID id, WORD flags) const noexcept;

    ThreadAffinity m_affinity;
    CLSID m_classId;
    IID m_dispatchIid;
    IID m_eventsIid;
    std::vector<InterfaceEntry> m_interfaces;
    ComPtr<ITypeLib> m_typeLib;
    ComPtr<ITypeInfo> m_typeInfo;
    std::vector<Member> m_members;
    bool m_typeInfoLoaded = false;
    ComPtr<IOleClientSite> m_clientSite;
    ComPtr<IOleAdviseHolder> m_adviseHolder;
    ComPtr<IConnectionPoint> m_eventsPoint;
    SIZEL m_extent{2540, 2540};
};

}  // namespace win
