#include "net/XXMLNode.h"

#include <objbase.h>

namespace net
{

namespace
{

std::wstring NewKey()
{
    GUID guid{};
    wchar_t text[40] = {};
    if (FAILED(::CoCreateGuid(&guid)) || ::StringFromGUID2(guid, text, 40) != 39)
    {
        return {};
    }
    return text;
}

}  // namespace

XXMLNode::XXMLNode() : m_key(NewKey())
{
}

XXMLNode::XXMLNode(std::wstring name) : m_name(std::move(name)), m_key(NewKey())
{
}

}  // namespace net
