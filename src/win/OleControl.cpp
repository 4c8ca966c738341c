#include "win/OleControl.h"

#include "win/ComBoundary.h"
#include "win/ComEnum.h"
#include "win/Module.h"

#include <olectl.h>

#include <new>
#include <utility>

namespace win
{

struct OleControl::Member
{
    DISPID id;
    INVOKEKIND kind;
    std::vector<VARTYPE> parameters;  // declaration order
    VARTYPE result;
};

namespace
{

// The variant type that a type description stands for. A pointer to IDispatch or IUnknown is described by
// the interface's own type; anything user-defined goes through as a plain variant.
VARTYPE VariantTypeOf(const TYPEDESC& description) noexcept
{
    const TYPEDESC* type = &description;
    while (type->vt == VT_PTR && type->lptdesc && (type->lptdesc->vt == VT_DISPATCH || type->lptdesc->vt == VT_UNKNOWN))
    {
        type = type->lptdesc;
    }
    switch (type->vt)
    {
    case VT_HRESULT:
    case VT_INT: return VT_I4;
    case VT_UINT: return VT_UI4;
    case VT_PTR:
    case VT_USERDEFINED:
    case VT_SAFEARRAY:
    case VT_CARRAY: return VT_VARIANT;
    default: return type->vt;
    }
}

bool Accepts(INVOKEKIND kind, WORD flags) noexcept
{
    switch (kind)
    {
    case INVOKE_FUNC: return (flags & DISPATCH_METHOD) != 0;
    case INVOKE_PROPERTYGET: return (flags & DISPATCH_PROPERTYGET) != 0;
    case INVOKE_PROPERTYPUT: return (flags & DISPATCH_PROPERTYPUT) != 0;
    case INVOKE_PROPERTYPUTREF: return (flags & DISPATCH_PROPERTYPUTREF) != 0;
    }
    return false;
}

// Owns the converted arguments of one call.
class ArgumentList
{
public:
    explicit ArgumentList(size_t count) : m_values(count)
    {
        for (VARIANT& value : m_values)
        {
            ::VariantInit(&value);
        }
    }
    ArgumentList(const ArgumentList&) = delete;
    ArgumentList& operator=(const ArgumentList&) = delete;
    ~ArgumentList()
    {
        for (VARIANT& value : m_values)
        {
            ::VariantClear(&value);
        }
    }
    std::vector<VARIANT>& Values() noexcept { return m_values; }

private:
    std::vector<VARIANT> m_values;
};

// A text argument that holds no string at all (a null BSTR), directly or by reference.
bool IsNullText(const VARIANT& argument) noexcept
{
    if (argument.vt == VT_BSTR)
    {
        return argument.bstrVal == nullptr;
    }
    if (argument.vt == (VT_BSTR | VT_BYREF))
    {
        return !argument.pbstrVal || *argument.pbstrVal == nullptr;
    }
    return false;
}

// The one connection point of the control's event interface. The control raises no events; sinks are
// accepted and kept so that a container can connect and disconnect as it does with any control.
class EventsPoint final : public ComObject, public IConnectionPoint
{
public:
    EventsPoint(IConnectionPointContainer* container, const IID& iid) noexcept : m_container(container), m_iid(iid) {}

    WIN_COM_IUNKNOWN

    // The control is going away: later calls answer without it.
    void Detach() noexcept { m_container = nullptr; }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) noexcept override
    {
        if (!iid)
        {
            return E_POINTER;
        }
        *iid = m_iid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) noexcept override
    {
        if (!container)
        {
            return E_POINTER;
        }
        *container = m_container;
        if (!m_container)
        {
            return E_UNEXPECTED;
        }
        m_container->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) noexcept override
    {
        if (!cookie)
        {
            return E_POINTER;
        }
        *cookie = 0;
        if (!sink)
        {
            return E_POINTER;
        }
        ComPtr<IUnknown> events;
        if (FAILED(sink->QueryInterface(m_iid, events.PutVoid())) &&
            FAILED(sink->QueryInterface(IID_IDispatch, events.PutVoid())))
        {
            return CONNECT_E_CANNOTCONNECT;
        }
        return ComBoundary([&] {
            m_sinks.emplace_back(++m_lastCookie, std::move(events));
            *cookie = m_lastCookie;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override
    {
        for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it)
        {
            if (it->first == cookie)
            {
                m_sinks.erase(it);
                return S_OK;
            }
        }
        return CONNECT_E_NOCONNECTION;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) noexcept override
    {
        if (!connections)
        {
            return E_POINTER;
        }
        *connections = nullptr;
        return ComBoundary([&] {
            std::vector<CONNECTDATA> snapshot;
            for (const auto& [cookie, sink] : m_sinks)
            {
                snapshot.push_back({sink.Get(), cookie});
            }
            return ConnectionsEnum::Create(std::move(snapshot), connections);
        });
    }

protected:
    std::span<const InterfaceEntry> InterfaceTable() const noexcept override
    {
        static const InterfaceEntry kTable[] = {InterfaceOf<IConnectionPoint, EventsPoint>(IID_IConnectionPoint)};
        return kTable;
    }

private:
    IConnectionPointContainer* m_container;  // NOTE: not a reference; the control detaches itself
    IID m_iid;
    DWORD m_lastCookie = 0;
    std::vector<std::pair<DWORD, ComPtr<IUnknown>>> m_sinks;
};

}  // namespace

OleControl::OleControl(const CLSID& classId, const IID& dispatchIid, const IID& eventsIid)
    : m_classId(classId), m_dispatchIid(dispatchIid), m_eventsIid(eventsIid)
{
    m_interfaces = {
        InterfaceOf<IDispatch, OleControl>(IID_IDispatch),
        InterfaceOf<IDispatch, OleControl>(m_dispatchIid),
        InterfaceOf<IOleObject, OleControl>(IID_IOleObject),
        InterfaceOf<IOleControl, OleControl>(IID_IOleControl),
        InterfaceOf<IPersistStreamInit, OleControl>(IID_IPersistStreamInit),
        InterfaceOf<IPersistStreamInit, OleControl>(IID_IPersist),
        InterfaceOf<IProvideClassInfo2, OleControl>(IID_IProvideClassInfo2),
        InterfaceOf<IProvideClassInfo2, OleControl>(IID_IProvideClassInfo),
        InterfaceOf<IConnectionPointContainer, OleControl>(IID_IConnectionPointContainer),
    };
}

OleControl::~OleControl()
{
    (void)WIN_CHECK_THREAD(m_affinity);
    if (m_eventsPoint)
    {
        static_cast<EventsPoint*>(m_eventsPoint.Get())->Detach();
    }
}

std::span<const InterfaceEntry> OleControl::InterfaceTable() const noexcept
{
    return m_interfaces;
}

BOOL OleControl::IsInvokeAllowed(DISPID) noexcept
{
    return TRUE;
}

HRESULT OleControl::LoadTypeInfo() noexcept
{
    if (m_typeInfoLoaded)
    {
        return m_typeInfo ? S_OK : TYPE_E_ELEMENTNOTFOUND;
    }
    m_typeInfoLoaded = true;
    const HRESULT loaded = ComBoundary([&] {
        const std::wstring path = ModuleFileName(ThisModule());
        HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, m_typeLib.Put());
        if (FAILED(hr))
        {
            return hr;
        }
        ComPtr<ITypeInfo> info;
        hr = m_typeLib->GetTypeInfoOfGuid(m_dispatchIid, info.Put());
        if (FAILED(hr))
        {
            return hr;
        }
        TYPEATTR* attributes = nullptr;
        hr = info->GetTypeAttr(&attributes);
        if (FAILED(hr))
        {
            return hr;
        }
        const WORD functionCount = attributes->cFuncs;
        info->ReleaseTypeAttr(attributes);
        std::vector<Member> members;
        for (UINT i = 0; i < functionCount; ++i)
        {
            FUNCDESC* function = nullptr;
            if (FAILED(info->GetFuncDesc(i, &function)))
            {
                continue;
            }
            Member member{function->memid, function->invkind, {}, VariantTypeOf(function->elemdescFunc.tdesc)};
            for (SHORT p = 0; p < function->cParams; ++p)
            {
                member.parameters.push_back(VariantTypeOf(function->lprgelemdescParam[p].tdesc));
            }
            info->ReleaseFuncDesc(function);
            members.push_back(std::move(member));
        }
        m_members = std::move(members);
        m_typeInfo = std::move(info);
        return S_OK;
    });
    if (FAILED(loaded))
    {
        m_typeInfo.Reset();
    }
    return loaded;
}

const OleControl::Member* OleControl::FindMember(DISPID id, WORD flags) const noexcept
{
    for (const Member& member : m_members)
    {
        if (member.id == id && Accepts(member.kind, flags))
        {
            return &member;
        }
    }
    return nullptr;
}

HRESULT OleControl::GetTypeInfoCount(UINT* count) noexcept
{
    if (!count)
    {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

HRESULT OleControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept
{
    if (!info)
    {
        return E_POINTER;
    }
    *info = nullptr;
    if (index != 0)
    {
        return DISP_E_BADINDEX;
    }
    const HRESULT hr = LoadTypeInfo();
    return FAILED(hr) ? hr : m_typeInfo.CopyTo(info);
}

HRESULT OleControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept
{
    if (iid != IID_NULL)
    {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (!names || !ids || count == 0)
    {
        return E_INVALIDARG;
    }
    const HRESULT hr = LoadTypeInfo();
    if (FAILED(hr))
    {
        return hr;
    }
    return m_typeInfo->GetIDsOfNames(names, count, ids);
}

HRESULT OleControl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
    UINT* badArgument) noexcept
{
    if (result)
    {
        ::VariantInit(result);
    }
    if (!WIN_CHECK_THREAD(m_affinity))
    {
        return RPC_E_WRONG_THREAD;
    }
    if (iid != IID_NULL)
    {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (!params || (params->cArgs > 0 && !params->rgvarg) || (params->cNamedArgs > 0 && !params->rgdispidNamedArgs))
    {
        return E_INVALIDARG;
    }
    if (!IsInvokeAllowed(id))
    {
        return E_ACCESSDENIED;
    }
    HRESULT hr = LoadTypeInfo();
    if (FAILED(hr))
    {
        return hr;
    }
    const Member* member = FindMember(id, flags);
    if (!member)
    {
        return DISP_E_MEMBERNOTFOUND;
    }
    const bool isPut = member->kind == INVOKE_PROPERTYPUT || member->kind == INVOKE_PROPERTYPUTREF;
    if (params->cNamedArgs > 0 &&
        !(isPut && params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT))
    {
        return DISP_E_NONAMEDARGS;
    }
    const UINT count = params->cArgs;
    if (count != member->parameters.size())
    {
        return DISP_E_BADPARAMCOUNT;
    }
    return ComBoundary([&] {
        ArgumentList arguments(count);
        for (UINT i = 0; i < count; ++i)
        {
            // Arguments come last to first.
            const UINT position = count - 1 - i;
            VARIANT& value = arguments.Values()[i];
            hr = ::VariantCopyInd(&value, &params->rgvarg[position]);
            if (SUCCEEDED(hr) && value.vt == VT_BSTR && IsNullText(params->rgvarg[position]))
            {
                // A copy turns a null BSTR into an empty one; a member must be able to tell "no text" from "".
                ::SysFreeString(value.bstrVal);
                value.bstrVal = nullptr;
            }
            if (SUCCEEDED(hr) && member->parameters[i] != VT_VARIANT && value.vt != member->parameters[i])
            {
                hr = ::VariantChangeType(&value, &value, 0, member->parameters[i]);
            }
            if (FAILED(hr))
            {
                if (badArgument)
                {
                    *badArgument = position;
                }
                return hr == E_OUTOFMEMORY ? hr : DISP_E_TYPEMISMATCH;
            }
        }
        VARIANT answer;
        ::VariantInit(&answer);
        hr = InvokeMember(id, arguments.Values(), &answer);
        if (SUCCEEDED(hr) && result && member->result != VT_VOID && member->result != VT_EMPTY)
        {
            if (member->result != VT_VARIANT && answer.vt != member->result)
            {
                const HRESULT converted = ::VariantChangeType(&answer, &answer, 0, member->result);
                if (FAILED(converted))
                {
                    ::VariantClear(&answer);
                    return converted;
                }
            }
            *result = answer;
            return hr;
        }
        ::VariantClear(&answer);
        return hr;
    });
}

HRESULT OleControl::SetClientSite(IOleClientSite* site) noexcept
{
    if (!WIN_CHECK_THREAD(m_affinity))
    {
        return RPC_E_WRONG_THREAD;
    }
    m_clientSite = site;
    return S_OK;
}

HRESULT OleControl::GetClientSite(IOleClientSite** site) noexcept
{
    return m_clientSite.CopyTo(site);
}

HRESULT OleControl::Close(DWORD) noexcept
{
    if (!WIN_CHECK_THREAD(m_affinity))
    {
        return RPC_E_WRONG_THREAD;
    }
    if (m_adviseHolder)
    {
        m_adviseHolder->SendOnClose();
    }
    return S_OK;
}

HRESULT OleControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) noexcept
{
    if (!moniker)
    {
        return E_POINTER;
    }
    *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT OleControl::GetClipboardData(DWORD, IDataObject** data) noexcept
{
    if (!data)
    {
        return E_POINTER;
    }
    *data = nullptr;
    return E_NOTIMPL;
}

HRESULT OleControl::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) noexcept
{
    // Invisible at run time: showing, activating and hiding have nothing to do.
    if (verb > 0)
    {
        return OLEOBJ_S_INVALIDVERB;
    }
    return verb == OLEIVERB_PROPERTIES ? E_NOTIMPL : S_OK;
}

HRESULT OleControl::EnumVerbs(IEnumOLEVERB** verbs) noexcept
{
    if (!verbs)
    {
        return E_POINTER;
    }
    *verbs = nullptr;
    return OLE_S_USEREG;
}

HRESULT OleControl::GetUserClassID(CLSID* classId) noexcept
{
    return GetClassID(classId);
}

HRESULT OleControl::GetUserType(DWORD form, LPOLESTR* userType) noexcept
{
    if (!userType)
    {
        return E_POINTER;
    }
    *userType = nullptr;
    return ::OleRegGetUserType(m_classId, form, userType);
}

HRESULT OleControl::SetExtent(DWORD aspect, SIZEL* size) noexcept
{
    if (!size)
    {
        return E_POINTER;
    }
    if (aspect != DVASPECT_CONTENT)
    {
        return DV_E_DVASPECT;
    }
    m_extent = *size;
    return S_OK;
}

HRESULT OleControl::GetExtent(DWORD aspect, SIZEL* size) noexcept
{
    if (!size)
    {
        return E_POINTER;
    }
    if (aspect != DVASPECT_CONTENT)
    {
        return DV_E_DVASPECT;
    }
    *size = m_extent;
    return S_OK;
}

HRESULT OleControl::Advise(IAdviseSink* sink, DWORD* cookie) noexcept
{
    if (!cookie)
    {
        return E_POINTER;
    }
    *cookie = 0;
    if (!m_adviseHolder)
    {
        const HRESULT hr = ::CreateOleAdviseHolder(m_adviseHolder.Put());
        if (FAILED(hr))
        {
            return hr;
        }
    }
    return m_adviseHolder->Advise(sink, cookie);
}

HRESULT OleControl::Unadvise(DWORD cookie) noexcept
{
    return m_adviseHolder ? m_adviseHolder->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

HRESULT OleControl::EnumAdvise(IEnumSTATDATA** advises) noexcept
{
    if (!advises)
    {
        return E_POINTER;
    }
    *advises = nullptr;
    return m_adviseHolder ? m_adviseHolder->EnumAdvise(advises) : S_OK;
}

HRESULT OleControl::GetMiscStatus(DWORD, DWORD* status) noexcept
{
    if (!status)
    {
        return E_POINTER;
    }
    *status = GetOleMiscStatus();
    return S_OK;
}

HRESULT OleControl::GetControlInfo(CONTROLINFO* info) noexcept
{
    if (!info)
    {
        return E_POINTER;
    }
    info->cb = sizeof(CONTROLINFO);
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT OleControl::GetClassID(CLSID* classId) noexcept
{
    if (!classId)
    {
        return E_POINTER;
    }
    *classId = m_classId;
    return S_OK;
}

HRESULT OleControl::GetSizeMax(ULARGE_INTEGER* size) noexcept
{
    if (!size)
    {
        return E_POINTER;
    }
    size->QuadPart = 0;
    return S_OK;
}

HRESULT OleControl::GetClassInfo(ITypeInfo** info) noexcept
{
    if (!info)
    {
        return E_POINTER;
    }
    *info = nullptr;
    const HRESULT hr = LoadTypeInfo();
    if (FAILED(hr))
    {
        return hr;
    }
    return m_typeLib->GetTypeInfoOfGuid(m_classId, info);
}

HRESULT OleControl::GetGUID(DWORD kind, GUID* guid) noexcept
{
    if (!guid)
    {
        return E_POINTER;
    }
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID)
    {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = m_eventsIid;
    return S_OK;
}

HRESULT OleControl::EnsureEventsPoint() noexcept
{
    if (!m_eventsPoint)
    {
        auto* created = new (std::nothrow) EventsPoint(this, m_eventsIid);
        if (!created)
        {
            return E_OUTOFMEMORY;
        }
        created->InternalAddRef();
        m_eventsPoint = ComPtr<IConnectionPoint>::Attach(created);
    }
    return S_OK;
}

HRESULT OleControl::EnumConnectionPoints(IEnumConnectionPoints** points) noexcept
{
    if (!points)
    {
        return E_POINTER;
    }
    *points = nullptr;
    const HRESULT hr = EnsureEventsPoint();
    if (FAILED(hr))
    {
        return hr;
    }
    return ComBoundary([&] { return ConnectionPointsEnum::Create({m_eventsPoint.Get()}, points); });
}

HRESULT OleControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) noexcept
{
    if (!point)
    {
        return E_POINTER;
    }
    *point = nullptr;
    if (iid != m_eventsIid)
    {
        return CONNECT_E_NOCONNECTION;
    }
    const HRESULT hr = EnsureEventsPoint();
    return FAILED(hr) ? hr : m_eventsPoint.CopyTo(point);
}

}  // namespace win
