// The module's resources, embedded in this test executable from the same script: the type library the
// control's dispatch and registration are built on, the version record and the string table.

#include "platform/XVersionInfo.h"
#include "win/ComPtr.h"
#include "win/Module.h"
#include "Core/res/resource.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>

namespace
{

constexpr GUID kLibraryId = {0x006AD7B2, 0x968A, 0x11DE, {0x88, 0xC9, 0x5B, 0xDE, 0x55, 0xD8, 0x95, 0x93}};
constexpr GUID kDispatchId = {0x1370A38E, 0x9688, 0x11DE, {0x89, 0x14, 0x73, 0xD1, 0x55, 0xD8, 0x95, 0x93}};
constexpr GUID kEventsId = {0x907FB2BE, 0x968A, 0x11DE, {0xA4, 0x0A, 0xA7, 0xE6, 0x55, 0xD8, 0x95, 0x93}};
constexpr GUID kControlId = {0x595EF3BD, 0xA186, 0x454A, {0x81, 0x0C, 0x02, 0x01, 0x51, 0x39, 0xAC, 0xDC}};

class ModuleTypeLibraryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::wstring path = win::ModuleFileName(nullptr);
        ASSERT_EQ(S_OK, ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, m_library.Put()));
    }

    win::ComPtr<ITypeInfo> Info(const GUID& id)
    {
        win::ComPtr<ITypeInfo> info;
        EXPECT_EQ(S_OK, m_library->GetTypeInfoOfGuid(id, info.Put()));
        return info;
    }

    win::ComPtr<ITypeLib> m_library;
};

// Releases a type attribute block on every path.
struct TypeAttr
{
    ITypeInfo* info;
    TYPEATTR* attr = nullptr;
    explicit TypeAttr(ITypeInfo* i) : info(i) { EXPECT_EQ(S_OK, info->GetTypeAttr(&attr)); }
    ~TypeAttr()
    {
        if (attr)
        {
            info->ReleaseTypeAttr(attr);
        }
    }
};

TEST_F(ModuleTypeLibraryTest, LibraryCarriesItsIdVersionAndHelp)
{
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, m_library->GetLibAttr(&attr));
    EXPECT_TRUE(::IsEqualGUID(kLibraryId, attr->guid));
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    m_library->ReleaseTLibAttr(attr);

    BSTR name = nullptr, doc = nullptr, helpFile = nullptr;
    ASSERT_EQ(S_OK, m_library->GetDocumentation(-1, &name, &doc, nullptr, &helpFile));
    EXPECT_STREQ(L"NorvixLib", name);
    EXPECT_STREQ(L"Norvix Addon", doc);
    ASSERT_NE(nullptr, helpFile);
    const std::wstring help(helpFile);
    EXPECT_EQ(L"Norvix.hlp", help.substr(help.find_last_of(L"\\/") + 1));
    ::SysFreeString(name);
    ::SysFreeString(doc);
    ::SysFreeString(helpFile);
}

TEST_F(ModuleTypeLibraryTest, DispatchInterfaceNamesItsMethodsAndParameters)
{
    const auto info = Info(kDispatchId);
    ASSERT_TRUE(info);
    {
        TypeAttr attr(info.Get());
        ASSERT_NE(nullptr, attr.attr);
        EXPECT_EQ(TKIND_DISPATCH, attr.attr->typekind);
    }
    struct Method
    {
        const wchar_t* name;
        MEMBERID id;
        short parameters;
    };
    const Method methods[] = {{L"StartupToolbar", 1, 7}, {L"OnEvent", 2, 1}, {L"startuptoolbar", 1, 7}};
    for (const auto& m : methods)
    {
        SCOPED_TRACE(::testing::Message() << "method " << m.id);
        LPOLESTR names[] = {const_cast<LPOLESTR>(m.name)};
        MEMBERID id = -1;
        ASSERT_EQ(S_OK, info->GetIDsOfNames(names, 1, &id));
        EXPECT_EQ(m.id, id);
    }
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"Shutdown")};
    MEMBERID id = 0;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, info->GetIDsOfNames(unknown, 1, &id));

    // The parameter order is the host's call: browser, toolbar, then the five button ids.
    BSTR names[8] = {};
    UINT count = 0;
    ASSERT_EQ(S_OK, info->GetNames(1, names, 8, &count));
    const wchar_t* expected[] = {L"StartupToolbar", L"pvarBrowser", L"pvarToolbar", L"btnIDKelSearch",
        L"btnIDKelLogo", L"btnIDPaviseStatus", L"btnIDNorvixUpdate", L"btnIDOptions"};
    ASSERT_EQ(8u, count);
    for (UINT i = 0; i < count; ++i)
    {
        EXPECT_STREQ(expected[i], names[i]);
        ::SysFreeString(names[i]);
    }

    UINT index = 0;
    FUNCDESC* func = nullptr;
    for (index = 0; info->GetFuncDesc(index, &func) == S_OK; ++index)
    {
        SCOPED_TRACE(::testing::Message() << "member " << func->memid);
        EXPECT_EQ(FUNC_DISPATCH, func->funckind);
        EXPECT_EQ(VT_I4, func->elemdescFunc.tdesc.vt);
        if (func->memid == 1)
        {
            ASSERT_EQ(7, func->cParams);
            EXPECT_EQ(VT_DISPATCH, func->lprgelemdescParam[0].tdesc.vt);
            EXPECT_EQ(VT_DISPATCH, func->lprgelemdescParam[1].tdesc.vt);
            for (int p = 2; p < 7; ++p)
            {
                EXPECT_EQ(VT_I4, func->lprgelemdescParam[p].tdesc.vt);
            }
        }
        else
        {
            ASSERT_EQ(1, func->cParams);
            EXPECT_EQ(VT_BSTR, func->lprgelemdescParam[0].tdesc.vt);
        }
        info->ReleaseFuncDesc(func);
    }
    EXPECT_EQ(2u, index);

    BSTR doc = nullptr;
    ASSERT_EQ(S_OK, info->GetDocumentation(2, nullptr, &doc, nullptr, nullptr));
    EXPECT_STREQ(L"Processes events", doc);
    ::SysFreeString(doc);
}

TEST_F(ModuleTypeLibraryTest, ControlClassPairsDispatchAndEventInterfaces)
{
    const auto events = Info(kEventsId);
    ASSERT_TRUE(events);
    {
        TypeAttr attr(events.Get());
        ASSERT_NE(nullptr, attr.attr);
        EXPECT_EQ(TKIND_DISPATCH, attr.attr->typekind);
        EXPECT_EQ(0, attr.attr->cFuncs);
    }

    const auto control = Info(kControlId);
    ASSERT_TRUE(control);
    TypeAttr attr(control.Get());
    ASSERT_NE(nullptr, attr.attr);
    EXPECT_EQ(TKIND_COCLASS, attr.attr->typekind);
    ASSERT_EQ(2, attr.attr->cImplTypes);
    struct Expected
    {
        GUID id;
        INT flags;
    };
    const Expected expected[] = {
        {kDispatchId, IMPLTYPEFLAG_FDEFAULT},
        {kEventsId, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
    };
    for (UINT i = 0; i < 2; ++i)
    {
        SCOPED_TRACE(::testing::Message() << "implemented type " << i);
        INT flags = 0;
        ASSERT_EQ(S_OK, control->GetImplTypeFlags(i, &flags));
        EXPECT_EQ(expected[i].flags, flags);
        HREFTYPE ref = 0;
        ASSERT_EQ(S_OK, control->GetRefTypeOfImplType(i, &ref));
        win::ComPtr<ITypeInfo> implemented;
        ASSERT_EQ(S_OK, control->GetRefTypeInfo(ref, implemented.Put()));
        TypeAttr implementedAttr(implemented.Get());
        ASSERT_NE(nullptr, implementedAttr.attr);
        EXPECT_TRUE(::IsEqualGUID(expected[i].id, implementedAttr.attr->guid));
    }
}

TEST(ModuleResourcesTest, VersionRecordAndStringsAreEmbedded)
{
    // XVersionInfo(TRUE) reads the module that holds the code: here the test executable.
    const XVersionInfo own(TRUE);
    ASSERT_TRUE(own.IsLoaded());
    EXPECT_EQ(L"Norvix Addon", own.GetString(L"FileDescription"));
    EXPECT_EQ(L"Norvix.dll", own.GetString(L"OriginalFilename"));
    EXPECT_EQ(L"1.0.0.1", own.GetFileVersionText(FALSE));
    EXPECT_EQ(1u, own.GetProductMajor());

    const HMODULE module = win::ThisModule();
    EXPECT_EQ(L"Tahoma", win::LoadStringResource(module, IDS_FONT_FACE_DEFAULT));
    EXPECT_EQ(L"Arial", win::LoadStringResource(module, IDS_FONT_FACE_BUBBLE));
    EXPECT_EQ(L"Norvix Addon", win::LoadStringResource(module, IDS_NORVIX_TYPENAME));
}

} // namespace
