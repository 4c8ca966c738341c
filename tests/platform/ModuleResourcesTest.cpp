// The module's resources, embedded in this executable from the module's own script: the type library that
// dispatch and registration are built on, and the version record that carries the one product version.

#include "NorvixVersion.h"

#include "platform/XVersionInfo.h"
#include "res/resource.h"
#include "win/ComPtr.h"
#include "win/Module.h"
#include "win/Variant.h"

#include <gtest/gtest.h>
#include <oleauto.h>

namespace
{

constexpr GUID kEventsId = {0x907FB2BE, 0x968A, 0x11DE, {0xA4, 0x0A, 0xA7, 0xE6, 0x55, 0xD8, 0x95, 0x93}};
constexpr GUID kControlId = {0x595EF3BD, 0xA186, 0x454A, {0x81, 0x0C, 0x02, 0x01, 0x51, 0x39, 0xAC, 0xDC}};
// Custom data of the library: the product's version as a text.
constexpr GUID kVersionDataId = {0x028D6B2B, 0x3525, 0x474F, {0x8F, 0x51, 0x99, 0xCA, 0x0A, 0x36, 0x7B, 0xDB}};
constexpr wchar_t kProductVersion[] = L"" NORVIX_VERSION_TEXT;

// The library's own version is the hosts' contract and stays 1.0; the product's version rides along as data and
// is the version record's. The control's class names its event interface as its default source.
TEST(ModuleResourcesTest, TypeLibraryStaysAtOneAndEveryRecordCarriesTheProductVersion)
{
    win::ComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, ::LoadTypeLibEx(win::ModuleFileName(nullptr).c_str(), REGKIND_NONE, library.Put()));
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attributes));
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    library->ReleaseTLibAttr(attributes);
    win::ComPtr<ITypeLib2> library2;
    ASSERT_EQ(S_OK, library.As(library2));
    win::Variant data;
    ASSERT_EQ(S_OK, library2->GetCustData(kVersionDataId, data.Put()));
    ASSERT_EQ(VT_BSTR, data.Get()->vt);
    EXPECT_STREQ(kProductVersion, data.Get()->bstrVal);

    win::ComPtr<ITypeInfo> control;
    win::ComPtr<ITypeInfo> source;
    ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(kControlId, control.Put()));
    INT flags = 0;
    HREFTYPE reference = 0;
    ASSERT_EQ(S_OK, control->GetImplTypeFlags(1, &flags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE, flags);
    ASSERT_EQ(S_OK, control->GetRefTypeOfImplType(1, &reference));
    ASSERT_EQ(S_OK, control->GetRefTypeInfo(reference, source.Put()));
    TYPEATTR* type = nullptr;
    ASSERT_EQ(S_OK, source->GetTypeAttr(&type));
    EXPECT_TRUE(::IsEqualGUID(kEventsId, type->guid));
    source->ReleaseTypeAttr(type);

    const platform::XVersionInfo own(TRUE);  // the module that holds the code: here this executable
    EXPECT_EQ(L"Norvix.dll", own.GetString(L"OriginalFilename"));
    EXPECT_EQ(kProductVersion, own.GetFileVersionText(FALSE));
    EXPECT_EQ(kProductVersion, own.GetProductVersionText(FALSE));
    EXPECT_EQ(kProductVersion, own.GetString(L"ProductVersion"));
    EXPECT_EQ(L"Tahoma", win::LoadStringResource(win::ThisModule(), IDS_FONT_FACE_DEFAULT));
}

}  // namespace
