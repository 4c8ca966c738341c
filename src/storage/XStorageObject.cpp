#include "storage/XStorageObject.h"

namespace storage
{

const storage::RuntimeClass XStorageObject::s_class{"XStorageObject", 0, nullptr};

const storage::RuntimeClass* XStorageObject::GetRuntimeClass() const noexcept
{
    return &s_class;
}

void XStorageObject::Serialize(storage::Archive& archive)
{
    if (archive.IsStoring())
    {
        version = kCurrentVersion;
        archive << version;
    }
    else
    {
        archive >> version;
    }
}

}  // namespace storage
