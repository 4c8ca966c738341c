// The module's resources, embedded in this executable from the module's own script: the type library that
// dispatch and registration are built on, the version record and the strings.

#include "NorvixVersion.h"

#include "res/resource.h"
#include "platform/XVersionInfo.h"
#include "win/ComPtr.h"
#include "win/Module.h"
#include "win/Variant.h"

#include <gtest/gtest.h>
#include <oleauto.h>

namespace
{

constexpr GUID kLibraryId = {0x006AD7B2, 0x968A, 0x11DE, {0x88, 0xC9, 0x5B, 0xDE, 0x55, 0xD8, 0x95, 0x93}};
constexpr GUID kDispatchId = {0x1370A38E, 0x9688, 0x11DE, {0x89, 0x14, 0x73, 0xD1, 0x55, 0xD8, 0x95, 0x93}};
constexpr GUID kEventsId = {0x907FB2BE, 0x968A, 0x11DE, {0xA4, 0x0A, 0xA7, 0xE6, 0x55, 0xD8, 0x95, 0x93}};
constexpr GUID kControlId = {0x595EF3BD, 0xA186, 0x454A, {0x81, 0x0C, 0x02, 0x01, 0x51, 0x39, 0xAC, 0xDC}};
// Custom data of the library: the product's version as a text.
constexpr GUID kVersionDataId = {0x028D6B2B, 0x3525, 0x474F, {0x8F, 0x51, 0x99, 0xCA, 0x0A, 0x36, 0x7B, 0xDB}};
constexpr wchar_t kProductVersion[] = L"" NORVIX_VERSION_TEXT;

// The kind, member count and id of a type.
void ReadAttributes(ITypeInfo* info, TYPEKIND& kind, WORD& functions, WORD& implemented, GUID& id)
{
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
    kind = attr->typekind;
    functions = attr->cFuncs;
    implemented = attr->cImplTypes;
    id = attr->guid;
    info->ReleaseTypeAttr(attr);
}

TEST(ModuleTypeLibraryTest, DescribesTheControlItsDispatchAndItsEvents)
{
    win::ComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, ::LoadTypeLibEx(win::ModuleFileName(nullptr).c_str(), REGKIND_NONE, library.Put()));
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&libAttr));
    EXPECT_TRUE(::IsEqualGUID(kLibraryId, libAttr->guid));
    EXPECT_EQ(1, libAttr->wMajorVerNum);
    EXPECT_EQ(0, libAttr->wMinorVerNum);
    library->ReleaseTLibAttr(libAttr);
    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(S_OK, library->GetDocumentation(-1, &name, &doc, nullptr, nullptr));
    EXPECT_STREQ(L"NorvixLib", name);
    EXPECT_STREQ(L"Norvix Addon", doc);
    ::SysFreeString(name);
    ::SysFreeString(doc);

    win::ComPtr<ITypeInfo> dispatch, events, control;
    ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(kDispatchId, dispatch.Put()));
    ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(kEventsId, events.Put()));
    ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(kControlId, control.Put()));

    const std::pair<const wchar_t*, MEMBERID> methods[] = {{L"StartupToolbar", 1}, {L"OnEvent", 2}};
    for (const auto& [methodName, expectedId] : methods)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(methodName)};
        MEMBERID id = -1;
        EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(names, 1, &id));
        EXPECT_EQ(expectedId, id);
    }
    FUNCDESC* func = nullptr;
    ASSERT_EQ(S_OK, dispatch->GetFuncDesc(0, &func));
    EXPECT_EQ(1, func->memid);
    EXPECT_EQ(7, func->cParams);
    dispatch->ReleaseFuncDesc(func);

    TYPEKIND kind = TKIND_MAX;
    WORD functions = 99, implemented = 99;
    GUID id{};
    ReadAttributes(events.Get(), kind, functions, implemented, id);
    EXPECT_EQ(TKIND_DISPATCH, kind);
    EXPECT_EQ(0, functions);
    ReadAttributes(control.Get(), kind, functions, implemented, id);
    EXPECT_EQ(TKIND_COCLASS, kind);
    ASSERT_EQ(2, implemented);
    const std::pair<GUID, INT> expected[] = {
        {kDispatchId, IMPLTYPEFLAG_FDEFAULT}, {kEventsId, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
    for (UINT i = 0; i < 2; ++i)
    {
        SCOPED_TRACE(::testing::Message() << "implemented type " << i);
        INT flags = 0;
        HREFTYPE ref = 0;
        win::ComPtr<ITypeInfo> type;
        EXPECT_EQ(S_OK, control->GetImplTypeFlags(i, &flags));
        EXPECT_EQ(expected[i].second, flags);
        ASSERT_EQ(S_OK, control->GetRefTypeOfImplType(i, &ref));
        ASSERT_EQ(S_OK, control->GetRefTypeInfo(ref, type.Put()));
        ReadAttributes(type.Get(), kind, functions, implemented, id);
        EXPECT_TRUE(::IsEqualGUID(expected[i].first, id));
    }
}

// The library's own version is the hosts' contract and stays 1.0; the product's version rides along as data.
TEST(ModuleTypeLibraryTest, CarriesTheProductVersionBesideItsFixedVersion)
{
    win::ComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, ::LoadTypeLibEx(win::ModuleFileName(nullptr).c_str(), REGKIND_NONE, library.Put()));
    win::ComPtr<ITypeLib2> library2;
    ASSERT_EQ(S_OK, library.As(library2));
    win::Variant data;
    ASSERT_EQ(S_OK, library2->GetCustData(kVersionDataId, data.Put()));
    ASSERT_EQ(VT_BSTR, data.Get()->vt);
    EXPECT_STREQ(kProductVersion, data.Get()->bstrVal);
}

TEST(ModuleResourcesTest, VersionRecordAndStringsAreEmbedded)
{
    // Reads the module that holds the code: here this executable.
    const XVersionInfo own(TRUE);
    EXPECT_EQ(L"Norvix Addon", own.GetString(L"FileDescription"));
    EXPECT_EQ(L"Norvix.dll", own.GetString(L"OriginalFilename"));
    EXPECT_EQ(kProductVersion, own.GetFileVersionText(FALSE));
    EXPECT_EQ(kProductVersion, own.GetProductVersionText(FALSE));
    EXPECT_EQ(kProductVersion, own.GetString(L"FileVersion"));
    EXPECT_EQ(kProductVersion, own.GetString(L"ProductVersion"));
    const HMODULE module = win::ThisModule();
    EXPECT_EQ(L"Tahoma", win::LoadStringResource(module, IDS_FONT_FACE_DEFAULT));
    EXPECT_EQ(L"Arial", win::LoadStringResource(module, IDS_FONT_FACE_BUBBLE));
    EXPECT_EQ(L"Norvix Addon", win::LoadStringResource(module, IDS_NORVIX_TYPENAME));
}

} // namespace
