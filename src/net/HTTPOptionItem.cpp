#include "net/HTTPOptionItem.h"

namespace net
{

HTTPOptionItem::HTTPOptionItem(DWORD option, const void* value, DWORD length) : m_option(option)
{
    if (value && length > 0)
    {
        const auto* bytes = static_cast<const BYTE*>(value);
        m_value.assign(bytes, bytes + length);
    }
}

HTTPOptionItem HTTPOptionItem::FromDword(DWORD option, DWORD value)
{
    return HTTPOptionItem(option, &value, sizeof(value));
}

}  // namespace net
