#include "net/XXMLParser.h"

#include "win/Bstr.h"
#include "win/FailureReport.h"
#include "win/Strings.h"

#include <algorithm>
#include <cwctype>

namespace
{

// The version-independent DOM document class and its interfaces.
constexpr CLSID kClsidDomDocument = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

}  // namespace

XXMLParser::~XXMLParser()
{
    Clear();
}

void XXMLParser::Clear() noexcept
{
    m_document.Reset();
}

bool XXMLParser::DeclaresDocumentType(std::wstring_view text) noexcept
{
    constexpr std::wstring_view kDoctype = L"<!doctype";
    return std::search(text.begin(), text.end(), kDoctype.begin(), kDoctype.end(),
               [](wchar_t a, wchar_t b) { return std::towlower(a) == b; }) != text.end();
}

bool XXMLParser::HoldsCharacterOutsideXml(std::wstring_view text) noexcept
{
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const wchar_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
        {
            ++i;  // a whole pair
        }
        else if ((c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r') || (c >= 0xD800 && c <= 0xDFFF) || c >= 0xFFFE)
        {
            return true;
        }
    }
    return false;
}

bool XXMLParser::NestsDeeperThan(std::wstring_view text, int depth) noexcept
{
    size_t i = 0;
    const auto skipPast = [&](std::wstring_view end) {
        const size_t at = text.find(end, i);
        i = at == std::wstring_view::npos ? text.size() : at + end.size();
    };
    // Moves `i` onto the '>' that ends the tag, past any quoted attribute value; false when there is none.
    const auto findTagEnd = [&] {
        for (wchar_t quote = 0; i < text.size(); ++i)
        {
            const wchar_t c = text[i];
            if (quote != 0)
            {
                quote = c == quote ? 0 : quote;
            }
            else if (c == L'"' || c == L'\'')
            {
                quote = c;
            }
            else if (c == L'>')
            {
                return true;
            }
        }
        return false;
    };
    int open = 0;
    while ((i = text.find(L'<', i)) != std::wstring_view::npos)
    {
        const std::wstring_view rest = text.substr(i);
        if (rest.starts_with(L"<!--"))
        {
            i += 4;
            skipPast(L"-->");
        }
        else if (rest.starts_with(L"<![CDATA["))
        {
            i += 9;
            skipPast(L"]]>");
        }
        else if (rest.starts_with(L"<?"))
        {
            i += 2;
            skipPast(L"?>");
        }
        else if (rest.starts_with(L"</"))
        {
            open = std::max(0, open - 1);
            (void)findTagEnd();
        }
        else if (rest.starts_with(L"<!"))
        {
            (void)findTagEnd();
        }
        else if (findTagEnd() && text[i - 1] != L'/' && ++open > depth)
        {
            return true;
        }
    }
    return false;
}

BOOL XXMLParser::Load(const std::wstring& text)
{
    Clear();
    if (text.empty() || DeclaresDocumentType(text) || HoldsCharacterOutsideXml(text) ||
        NestsDeeperThan(text, kMaxDepth))
    {
        WIN_REPORT_FAILURE("XXMLParser::Load", S_OK,
            text.empty() ? L"no text" : L"refused before parsing: a document type, or elements nested too deep");
        return FALSE;
    }
    // The document lives in the caller's apartment, which outlives it (Clear, on the caller's thread).
    APTTYPE apartment{};
    APTTYPEQUALIFIER qualifier{};
    const HRESULT hasApartment = ::CoGetApartmentType(&apartment, &qualifier);
    if (FAILED(hasApartment))
    {
        WIN_REPORT_FAILURE("::CoGetApartmentType(&apartment, &qualifier)", hasApartment,
            L"the calling thread has no COM apartment; XML needs one");
        return FALSE;
    }
    win::ComPtr<IXMLDOMDocument> document;
    if (FAILED(WIN_LOG_IF_FAILED(
            ::CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_ALL, kIidDomDocument, document.PutVoid()))) ||
        !document)
    {
        return FALSE;
    }
    m_document = document;
    if (FAILED(WIN_LOG_IF_FAILED(document->put_async(VARIANT_FALSE))) ||
        FAILED(WIN_LOG_IF_FAILED(document->put_resolveExternals(VARIANT_FALSE))) ||
        FAILED(WIN_LOG_IF_FAILED(document->put_validateOnParse(VARIANT_FALSE))))
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
        WIN_REPORT_FAILURE("win::Bstr xml(text)", E_OUTOFMEMORY, {});
        return FALSE;
    }
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(WIN_LOG_IF_FAILED(document->loadXML(xml.Get(), &loaded))))
    {
        return FALSE;
    }
    if (loaded != VARIANT_TRUE)
    {
        ReportParseError(*document.Get());
        return FALSE;
    }
    return TRUE;
}

void XXMLParser::ReportParseError(IXMLDOMDocument& document)
{
    long code = 0;
    long line = 0;
    long position = 0;
    win::Bstr reason;
    win::ComPtr<IXMLDOMParseError> error;
    if (SUCCEEDED(document.get_parseError(error.Put())) && error)
    {
        (void)error->get_errorCode(&code);
        (void)error->get_line(&line);
        (void)error->get_linepos(&position);
        (void)error->get_reason(reason.Put());
    }
    WIN_REPORT_FAILURE("document->loadXML(xml.Get(), &loaded)", static_cast<HRESULT>(code),
        win::Trim(win::Format(L"not XML (line %ld, column %ld): %ls", line, position, reason.Str().c_str())));
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
