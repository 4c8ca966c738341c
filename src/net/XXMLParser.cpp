#include "net/XXMLParser.h"

#include "win/Bstr.h"

#include <algorithm>
#include <cwctype>

namespace
{

// The version-independent DOM document class and its interfaces.
constexpr CLSID kClsidDomDocument = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

} // namespace

XXMLParser::~XXMLParser()
{
    Clear();
}

void XXMLParser::Clear() noexcept
{
    m_document.Reset();
    if (m_comThread != 0)
    {
        // Another thread's initialisation cannot be undone from here; it ends with that thread.
        if (m_comThread == ::GetCurrentThreadId())
        {
            ::CoUninitialize();
        }
        m_comThread = 0;
    }
}

bool XXMLParser::DeclaresDocumentType(std::wstring_view text) noexcept
{
    constexpr std::wstring_view kDoctype = L"<!doctype";
    return std::search(text.begin(), text.end(), kDoctype.begin(), kDoctype.end(), [](wchar_t a, wchar_t b) {
               return std::towlower(a) == b;
           }) != text.end();
}

BOOL XXMLParser::Load(const std::wstring& text)
{
    m_document.Reset();
    if (text.empty() || DeclaresDocumentType(text))
    {
        return FALSE;
    }
    // COM stays initialised from one Load to the next on the same thread, so MSXML is not unloaded and
    // loaded again for every answer.
    const DWORD thread = ::GetCurrentThreadId();
    if (m_comThread != thread)
    {
        m_comThread = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) ? thread : 0;
    }
    win::ComPtr<IXMLDOMDocument> document;
    if (FAILED(::CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_ALL, kIidDomDocument, document.PutVoid())) ||
        !document)
    {
        return FALSE;
    }
    m_document = document;
    if (FAILED(document->put_async(VARIANT_FALSE)) || FAILED(document->put_resolveExternals(VARIANT_FALSE)) ||
        FAILED(document->put_validateOnParse(VARIANT_FALSE)))
    {
        return FALSE;
    }
    win::ComPtr<IXMLDOMDocument2> document2;
    if (SUCCEEDED(document.As(kIidDomDocument2, document2.PutVoid())) && document2)
    {
        // Not every version knows the property; the check above does not depend on it.
        VARIANT prohibit{};
        prohibit.vt = VT_BOOL;
        prohibit.boolVal = VARIANT_TRUE;
        win::Bstr name(L"ProhibitDTD");
        (void)document2->setProperty(name.Get(), prohibit);
    }
    win::Bstr xml(text);
    if (!xml.IsValid())
    {
        return FALSE;
    }
    VARIANT_BOOL loaded = VARIANT_FALSE;
    return SUCCEEDED(document->loadXML(xml.Get(), &loaded)) && loaded == VARIANT_TRUE;
}

bool XXMLParser::FindChildText(IXMLDOMNode* element, const std::wstring& name, std::wstring& text)
{
    text.clear();
    win::Bstr pattern(name);
    win::ComPtr<IXMLDOMNode> child;
    if (!pattern.IsValid() || FAILED(element->selectSingleNode(pattern.Get(), child.Put())) || !child)
    {
        return false;
    }
    win::Bstr value;
    if (FAILED(child->get_text(value.Put())))
    {
        return false;
    }
    text = value.Str();
    return !text.empty();
}

BOOL XXMLParser::FindNodes(const std::wstring& elementName, XXMLNodeArray& nodes)
{
    int found = 0;
    win::Bstr tag(elementName);
    win::ComPtr<IXMLDOMNodeList> elements;
    if (!m_document || !tag.IsValid() || FAILED(m_document->getElementsByTagName(tag.Get(), elements.Put())) ||
        !elements)
    {
        return FALSE;
    }
    long length = 0;
    if (FAILED(elements->get_length(&length)))
    {
        return FALSE;
    }
    std::wstring text;
    for (long i = 0; i < length; ++i)
    {
        win::ComPtr<IXMLDOMNode> element;
        if (FAILED(elements->get_item(i, element.Put())) || !element)
        {
            continue;
        }
        for (int n = 0; n < nodes.GetCount(); ++n)
        {
            XXMLNode* node = nodes.GetAt(n);
            if (node && FindChildText(element.Get(), node->Name(), text))
            {
                node->SetValue(text);
                ++found;
            }
        }
    }
    return found > 0;
}
