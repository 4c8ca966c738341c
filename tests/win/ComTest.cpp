// The COM framework on its own: what every object, class factory and holder of the module must keep to, whoever
// calls it.

#include "win/Bstr.h"
#include "win/ClassFactory.h"
#include "win/ComBoundary.h"
#include "win/ComPtr.h"
#include "win/Scope.h"
#include "win/Variant.h"

#include "support/FailureReports.h"
#include "support/FakeDispatch.h"

#include <gtest/gtest.h>
#include <oleidl.h>

#include <stdexcept>

namespace
{

using testing_support::FakeDispatch;

// {5C3E2F71-0B4D-4D7A-9E0F-7A1B2C3D4E5F}
constexpr CLSID kTestClassId = {0x5C3E2F71, 0x0B4D, 0x4D7A, {0x9E, 0x0F, 0x7A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F}};
void* const kSentinel = reinterpret_cast<void*>(0x5E5E);

// Two interfaces, each with its own IUnknown; counts the objects alive and their final releases. Its final
// release takes and drops a reference to itself, as a control does that unhooks itself from its parts.
class TwoFaced final : public win::ComObject, public IPersist, public IOleWindow
{
public:
    static inline int s_alive = 0;
    static inline int s_finalReleases = 0;
    static inline ULONG s_referencesInFinalRelease = 0;

    TwoFaced() noexcept { ++s_alive; }
    ~TwoFaced() override { --s_alive; }

    WIN_COM_IUNKNOWN

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) noexcept override { return *id = kTestClassId, S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) noexcept override { return *window = nullptr, E_FAIL; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }

protected:
    std::span<const win::InterfaceEntry> InterfaceTable() const noexcept override
    {
        static const win::InterfaceEntry kTable[] = {
            win::InterfaceOf<IPersist, TwoFaced>(IID_IPersist), win::InterfaceOf<IOleWindow, TwoFaced>(IID_IOleWindow)};
        return kTable;
    }
    void OnFinalRelease() noexcept override
    {
        s_referencesInFinalRelease = References();
        // Without the reference held for it, the pair below would delete the object twice; the count shows that.
        if (++s_finalReleases == 1 && s_referencesInFinalRelease > 0)
        {
            IUnknown* self = nullptr;
            if (SUCCEEDED(InternalQueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&self))))
            {
                self->Release();
            }
        }
    }
};

IUnknown* IdentityOf(IUnknown* part)
{
    win::ComPtr<IUnknown> identity;
    EXPECT_EQ(S_OK, part->QueryInterface(IID_IUnknown, identity.PutVoid()));
    return identity.Get();
}

TEST(ComObjectTest, OneIdentityFromEveryInterfaceAndItGoesOnceAtTheLastReleaseEvenWhenItsFinalReleaseQueriesItself)
{
    TwoFaced::s_finalReleases = 0;
    IPersist* persist = nullptr;
    ASSERT_EQ(S_OK, win::CreateComObject<TwoFaced>(IID_IPersist, reinterpret_cast<void**>(&persist)));
    EXPECT_EQ(1, win::ModuleLockCount());
    IOleWindow* window = nullptr;
    ASSERT_EQ(S_OK, persist->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window)));
    EXPECT_NE(static_cast<void*>(persist), static_cast<void*>(window));
    EXPECT_EQ(static_cast<IUnknown*>(persist), IdentityOf(persist));
    EXPECT_EQ(static_cast<IUnknown*>(persist), IdentityOf(window));
    for (IUnknown* part : {static_cast<IUnknown*>(persist), static_cast<IUnknown*>(window)})
    {
        void* out = kSentinel;
        EXPECT_EQ(E_NOINTERFACE, part->QueryInterface(IID_IDispatch, &out));
        EXPECT_EQ(nullptr, out);
        EXPECT_EQ(E_POINTER, part->QueryInterface(IID_IPersist, nullptr));
    }
    void* out = kSentinel;
    EXPECT_EQ(E_NOINTERFACE, win::CreateComObject<TwoFaced>(IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(1, TwoFaced::s_alive) << "an object that answered nothing must go at once";

    TwoFaced::s_finalReleases = 0;
    EXPECT_EQ(3u, persist->AddRef());
    EXPECT_EQ(2u, window->Release());
    EXPECT_EQ(1u, persist->Release());
    EXPECT_EQ(0u, persist->Release());
    EXPECT_EQ(1, TwoFaced::s_finalReleases);
    EXPECT_EQ(1u, TwoFaced::s_referencesInFinalRelease);
    EXPECT_EQ(0, TwoFaced::s_alive);
    EXPECT_EQ(0, win::ModuleLockCount());
}

TEST(ClassFactoryTest, MakesObjectsOfItsTableRefusesAggregationAndHoldsTheModuleWhileLocked)
{
    const win::ClassEntry classes[] = {{&kTestClassId, &win::CreateComObject<TwoFaced>}};
    void* out = kSentinel;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, win::GetClassObject(classes, IID_IPersist, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(S_OK, win::ModuleCanUnloadNow());

    win::ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, win::GetClassObject(classes, kTestClassId, IID_IClassFactory, factory.PutVoid()));
    EXPECT_EQ(S_FALSE, win::ModuleCanUnloadNow()) << "a factory alive";
    FakeDispatch outer;
    out = kSentinel;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(1u, outer.References());
    EXPECT_EQ(0, TwoFaced::s_alive);

    win::ComPtr<IOleWindow> object;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IOleWindow, object.PutVoid()));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    object.Reset();
    EXPECT_EQ(S_FALSE, win::ModuleCanUnloadNow()) << "locked by LockServer alone";
    ASSERT_EQ(S_OK, win::GetClassObject(classes, kTestClassId, IID_IClassFactory, factory.PutVoid()));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPersist, object.PutVoid()));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory.Reset();
    EXPECT_EQ(S_FALSE, win::ModuleCanUnloadNow()) << "an object alive";
    object.Reset();
    EXPECT_EQ(0, win::ModuleLockCount());
    EXPECT_EQ(S_OK, win::ModuleCanUnloadNow());
}

TEST(ComPtrTest, AttachTakesTheCallersReferenceCopiesAddOneAndNullAnswersEPointer)
{
    FakeDispatch object;  // starts with the test's own reference
    {
        object.AddRef();
        auto attached = win::ComPtr<IDispatch>::Attach(&object);
        win::ComPtr<IDispatch> copy = attached;
        copy = copy;
        EXPECT_EQ(3u, object.References());
        win::ComPtr<IDispatch> moved = std::move(copy);
        win::ComPtr<IUnknown> unknown;
        ASSERT_EQ(S_OK, moved.As(unknown));
        EXPECT_EQ(4u, object.References());
        (void)moved.Put();
        EXPECT_EQ(3u, object.References());
    }
    EXPECT_EQ(1u, object.References());

    win::ComPtr<IDispatch> empty;
    win::ComPtr<IUnknown> unknown(&object);
    EXPECT_EQ(E_POINTER, empty.As(unknown));
    EXPECT_FALSE(unknown) << "a failed As must not leave the old interface behind";
    EXPECT_EQ(1u, object.References());
    void* out = kSentinel;
    EXPECT_EQ(E_POINTER, empty.As(IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
}

TEST(BstrAndVariantTest, ANullStringReadsAsEmptyAndEveryHolderLetsGoOfWhatItHolds)
{
    const win::Bstr none;
    EXPECT_EQ(L"", none.Str());
    EXPECT_EQ(0u, none.Length());
    const auto text = win::Bstr::Attach(::SysAllocStringLen(L"a\0b", 3));
    EXPECT_EQ(std::wstring(L"a\0b", 3), text.Str()) << "a BSTR's length, not its first null, ends it";

    FakeDispatch object;
    {
        win::Variant held(&object);
        EXPECT_EQ(2u, object.References());
        EXPECT_EQ(VT_EMPTY, held.Put()->vt);
        EXPECT_EQ(1u, object.References());
        win::Variant again(&object);
        VARIANT out;
        again.Detach(&out);
        EXPECT_EQ(2u, object.References());
        ::VariantClear(&out);
        win::Variant last(&object);
    }
    EXPECT_EQ(1u, object.References());
}

TEST(ComBoundaryTest, EachExceptionBecomesItsFailureValueAndScopeGuardsRunOnTheWayOut)
{
    int cleanups = 0;
    const auto guarded = [&](auto body) {
        return win::ComBoundary([&] {
            const win::ScopeExit cleanup([&] { ++cleanups; });
            return body();
        });
    };
    const testing_support::ExpectFailureReports reported{"out of memory", "exception: any other", "unknown exception"};
    EXPECT_EQ(S_FALSE, guarded([]() -> HRESULT { return S_FALSE; }));
    EXPECT_EQ(E_OUTOFMEMORY, guarded([]() -> HRESULT { throw std::bad_alloc(); }));
    EXPECT_EQ(E_UNEXPECTED, guarded([]() -> HRESULT { throw std::runtime_error("any other"); }));
    EXPECT_EQ(E_UNEXPECTED, guarded([]() -> HRESULT { throw 7; }));
    EXPECT_EQ(4, cleanups);
    {
        win::ScopeExit dismissed([&] { ++cleanups; });
        dismissed.Dismiss();
    }
    EXPECT_EQ(4, cleanups);
}

}  // namespace
