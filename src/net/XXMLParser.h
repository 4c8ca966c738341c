#pragma once
// XXMLParser: turns an answer text into an MSXML DOM document and finds the texts of named child elements
// inside the elements of a given name. The document of the last Load stays until the next Load, Clear or
// destruction.
//
// The text comes from whatever program listens on the service's port, so it is untrusted: a text with a
// document type declaration is refused before MSXML sees it (some MSXML versions expand entities and ignore
// ProhibitDTD), as is one whose elements nest deeper than kMaxDepth (a parser's recursion grows with the
// depth, as its memory grows with the size that the HTTP layer bounds) and one with a character that XML does
// not allow (some versions stop reading at such a character and take the document before it as whole), and
// the document is told never to resolve external resources nor validate.
//
// A parser belongs to one thread at a time, which must have entered a COM apartment: the document is made in the
// caller's apartment, and a Load without one is reported and fails. Clear (or the next Load, or the
// destructor) releases the document; a user should Clear on the loading thread while its apartment lasts.

#include "net/XXMLNodeArray.h"
#include "win/ComPtr.h"

#include <msxml2.h>
#include <windows.h>

#include <string>
#include <string_view>

class XXMLParser
{
public:
    XXMLParser() = default;
    XXMLParser(const XXMLParser&) = delete;
    XXMLParser& operator=(const XXMLParser&) = delete;
    virtual ~XXMLParser();

    // True when `text` parsed as a document. An empty text, or one that declares a document type, gives false
    // without creating a document.
    [[nodiscard]] BOOL Load(const std::wstring& text);
    void Clear() noexcept;
    [[nodiscard]] bool HasDocument() const noexcept { return static_cast<bool>(m_document); }

    // For each element named `elementName` anywhere in the document (in document order), each node of `nodes`
    // takes the text of the element's first child of the node's name, when that text is not empty; a later
    // element overrides an earlier one. True when at least one node received a text.
    [[nodiscard]] BOOL FindNodes(const std::wstring& elementName, XXMLNodeArray& nodes);

    // True when the text holds "<!DOCTYPE" in any letter case.
    [[nodiscard]] static bool DeclaresDocumentType(std::wstring_view text) noexcept;
    // True when the text holds a character that XML does not allow: a control character other than tab, line
    // feed and carriage return, U+FFFE, U+FFFF, or half of a surrogate pair.
    [[nodiscard]] static bool HoldsCharacterOutsideXml(std::wstring_view text) noexcept;

    static constexpr int kMaxDepth = 64;
    // True when elements of the text nest deeper than `depth`. Tags are counted as markup reads them: comments,
    // CDATA sections, processing instructions and declarations open nothing, an empty-element tag closes itself,
    // and a '>' or "/>" inside a quoted attribute value ends nothing.
    [[nodiscard]] static bool NestsDeeperThan(std::wstring_view text, int depth) noexcept;

private:
    [[nodiscard]] static bool FindChildText(IXMLDOMNode* element, const std::wstring& name, std::wstring& text);
    // Reports why MSXML did not take a text as a document.
    static void ReportParseError(IXMLDOMDocument& document);

    win::ComPtr<IXMLDOMDocument> m_document;
};
