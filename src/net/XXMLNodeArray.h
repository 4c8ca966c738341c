#pragma once
// XXMLNodeArray: the owned list of requested nodes that XXMLParser::FindNodes fills.

#include "net/OwningArray.h"
#include "net/XXMLNode.h"

#include <string>
#include <string_view>

namespace net
{

class XXMLNodeArray : public OwningArray<XXMLNode>
{
public:
    // The last node of the list; null when it is empty.
    [[nodiscard]] virtual XXMLNode* GetLast() const noexcept { return GetAt(GetCount() - 1); }

    // The value of the last node named `name` (case-sensitive); "" when none is.
    [[nodiscard]] std::wstring GetValue(std::wstring_view name) const;

    // The first node whose key is `key` (case-sensitive) and its index; null and -1 when none.
    [[nodiscard]] XXMLNode* FindByKey(std::wstring_view key, int* index = nullptr) const noexcept;
};

}  // namespace net
