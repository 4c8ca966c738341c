#pragma once
// StatusConfigStream: the record of the shared status file: the last published product statuses and the
// local time of the last completed query.
//
// Archive bytes after the common head (offsets 0-13, see XCompoundStream):
//   offset 14  4  record version, 1
//   offset 18  4  m_paviseStatus (signed)
//   offset 22  4  m_norvixStatus (signed)
//   offset 26  4  m_lastCheck status (0 = valid)
//   offset 30  8  m_lastCheck automation date (IEEE double, kept as its bytes)
// 38 bytes in all.

#include "storage/DateTime.h"
#include "storage/XCompoundStream.h"

#include <cstdint>

namespace core
{

class StatusConfigStream : public storage::XCompoundStream
{
public:
    StatusConfigStream() noexcept = default;

    [[nodiscard]] const storage::RuntimeClass* GetRuntimeClass() const noexcept override;
    [[nodiscard]] bool SerializeData(storage::Archive& archive) override;

    static const storage::RuntimeClass s_class;

    std::int32_t m_paviseStatus = 0;
    std::int32_t m_norvixStatus = 0;
    storage::DateTime m_lastCheck;  // valid, 0.0: never checked
};

}  // namespace core
