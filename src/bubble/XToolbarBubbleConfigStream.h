#pragma once
// XToolbarBubbleConfigStream: the record of the install-bubble file: whether the bubble is still to be shown.
//
// Archive bytes after the common head (offsets 0-13, see XCompoundStream):
//   offset 14  4  record version, 1
//   offset 18  4  m_showFlag: 1 = still to be shown, 0 = shown
// 22 bytes in all.

#include "storage/XCompoundStream.h"

#include <cstdint>

namespace bubble
{

class XToolbarBubbleConfigStream : public storage::XCompoundStream
{
public:
    XToolbarBubbleConfigStream() noexcept = default;

    [[nodiscard]] const storage::RuntimeClass* GetRuntimeClass() const noexcept override;
    [[nodiscard]] bool SerializeData(storage::Archive& archive) override;

    static const storage::RuntimeClass s_class;

    std::uint32_t m_showFlag = 1;
};

}  // namespace bubble
