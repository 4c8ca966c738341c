#include "net/XXMLNodeArray.h"

namespace net
{

std::wstring XXMLNodeArray::GetValue(std::wstring_view name) const
{
    for (int i = GetCount() - 1; i >= 0; --i)
    {
        if (const XXMLNode* node = GetAt(i); node && node->Name() == name)
        {
            return node->Value();
        }
    }
    return {};
}

XXMLNode* XXMLNodeArray::FindByKey(std::wstring_view key, int* index) const noexcept
{
    for (int i = 0; i < GetCount(); ++i)
    {
        if (XXMLNode* node = GetAt(i); node && node->Key() == key)
        {
            if (index)
            {
                *index = i;
            }
            return node;
        }
    }
    if (index)
    {
        *index = -1;
    }
    return nullptr;
}

}  // namespace net
