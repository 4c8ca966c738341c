#pragma once
// XStorageObject: the base of every stored record. It carries the record's version, which is set to the
// current version (1) when the object is made and again whenever it is stored, and replaced by the stored
// value when it is loaded. The stored value is kept for the record but never compared: any version loads.

#include "storage/Archive.h"
#include "storage/RuntimeClass.h"

#include <cstdint>

namespace storage
{

class XStorageObject
{
public:
    static constexpr std::uint32_t kCurrentVersion = 1;

    XStorageObject() noexcept = default;
    XStorageObject(const XStorageObject&) = delete;
    XStorageObject& operator=(const XStorageObject&) = delete;

    [[nodiscard]] virtual const storage::RuntimeClass* GetRuntimeClass() const noexcept;
    virtual ~XStorageObject() = default;
    // Stores or loads the version (4 bytes). Throws the archive's exceptions.
    virtual void Serialize(storage::Archive& archive);

    static const storage::RuntimeClass s_class;

    std::uint32_t version = kCurrentVersion;
};

}  // namespace storage
