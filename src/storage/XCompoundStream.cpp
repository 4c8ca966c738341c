#include "storage/XCompoundStream.h"

#include <windows.h>

namespace storage
{

const storage::RuntimeClass XCompoundStream::s_class{"XCompoundStream", 0, nullptr};

XCompoundStream::XCompoundStream() noexcept : languageId(::GetSystemDefaultLangID())
{
}

const storage::RuntimeClass* XCompoundStream::GetRuntimeClass() const noexcept
{
    return &s_class;
}

void XCompoundStream::Serialize(storage::Archive& archive)
{
    if (!SerializeData(archive))
    {
        throw storage::ArchiveException(storage::ArchiveException::Cause::BadIndex, L"badIndex");
    }
}

bool XCompoundStream::SerializeData(storage::Archive& archive)
{
    XStorageObject::Serialize(archive);
    if (archive.IsStoring())
    {
        archive << version;
        archive.Write(tag.data(), tag.size());
        archive << languageId;
        return true;
    }
    archive >> version;
    archive.Read(tag.data(), tag.size());
    if (tag != kTag)
    {
        tag = kTag;
        return false;
    }
    archive >> languageId;
    return true;
}

}  // namespace storage
