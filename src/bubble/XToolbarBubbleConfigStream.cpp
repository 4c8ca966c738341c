#include "bubble/XToolbarBubbleConfigStream.h"

namespace bubble
{

namespace
{
storage::XStorageObject* CreateBubbleConfigStream()
{
    return new XToolbarBubbleConfigStream();
}
}  // namespace

const storage::RuntimeClass XToolbarBubbleConfigStream::s_class{
    "XToolbarBubbleConfigStream", 0, &CreateBubbleConfigStream};

const storage::RuntimeClass* XToolbarBubbleConfigStream::GetRuntimeClass() const noexcept
{
    return &s_class;
}

bool XToolbarBubbleConfigStream::SerializeData(storage::Archive& archive)
{
    if (!storage::XCompoundStream::SerializeData(archive))
    {
        return false;
    }
    if (archive.IsStoring())
    {
        version = kCurrentVersion;
        archive << version << m_showFlag;
    }
    else
    {
        archive >> version >> m_showFlag;
    }
    return true;
}

}  // namespace bubble
