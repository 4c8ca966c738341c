#pragma once
// XXMLNode: one requested element name and the text found for it in an answer. Each node carries a key, a
// GUID in registry form made when the node is created, by which a list can find it again; a copy keeps the
// key of its original.

#include <string>

namespace net
{

class XXMLNode
{
public:
    XXMLNode();
    explicit XXMLNode(std::wstring name);
    XXMLNode(const XXMLNode&) = default;
    XXMLNode& operator=(const XXMLNode&) = default;
    virtual ~XXMLNode() = default;

    [[nodiscard]] const std::wstring& Name() const noexcept { return m_name; }
    [[nodiscard]] const std::wstring& Value() const noexcept { return m_value; }
    void SetValue(std::wstring value) { m_value = std::move(value); }
    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; empty only if the system could make no GUID.
    [[nodiscard]] const std::wstring& Key() const noexcept { return m_key; }

private:
    std::wstring m_name;
    std::wstring m_value;
    std::wstring m_key;
};

}  // namespace net
