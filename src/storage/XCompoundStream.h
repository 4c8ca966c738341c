#pragma once
// XCompoundStream: the common head of the add-on's records, and the base of each record class.
//
// Archive bytes (little-endian, no padding):
//   offset 0   4  version (written by XStorageObject)
//   offset 4   4  version again
//   offset 8   4  tag "TNYT" (0x54 0x4E 0x59 0x54)
//   offset 12  2  default language id of the writing system
//   offset 14  .. the record class's own version and fields
//
// A record class overrides SerializeData only: it calls this one, stops at once when it returned false,
// then stores or loads its own version and fields in a fixed order. A foreign tag makes the load fail
// (Serialize raises ArchiveException(BadIndex)); the tag is put back to "TNYT".

#include "storage/XStorageObject.h"

#include <array>
#include <cstdint>

namespace storage
{

class XCompoundStream : public XStorageObject
{
public:
    static constexpr std::array<std::uint8_t, 4> kTag{0x54, 0x4E, 0x59, 0x54};

    XCompoundStream() noexcept;

    [[nodiscard]] const storage::RuntimeClass* GetRuntimeClass() const noexcept override;
    ~XCompoundStream() override = default;
    void Serialize(storage::Archive& archive) override;
    // True when the head was stored, or loaded with the right tag.
    [[nodiscard]] virtual bool SerializeData(storage::Archive& archive);

    static const storage::RuntimeClass s_class;

    std::array<std::uint8_t, 4> tag = kTag;
    std::uint16_t languageId = 0;
};

}  // namespace storage
