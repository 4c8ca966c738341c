#include "Core/StatusConfigStream.h"

namespace core
{

namespace
{
storage::XStorageObject* CreateStatusConfigStream()
{
    return new StatusConfigStream();
}
}  // namespace

const storage::RuntimeClass StatusConfigStream::s_class{"StatusConfigStream", 0, &CreateStatusConfigStream};

const storage::RuntimeClass* StatusConfigStream::GetRuntimeClass() const noexcept
{
    return &s_class;
}

bool StatusConfigStream::SerializeData(storage::Archive& archive)
{
    if (!storage::XCompoundStream::SerializeData(archive))
    {
        return false;
    }
    if (archive.IsStoring())
    {
        version = kCurrentVersion;
        archive << version << m_paviseStatus << m_norvixStatus;
    }
    else
    {
        archive >> version >> m_paviseStatus >> m_norvixStatus;
    }
    m_lastCheck.Serialize(archive);
    return true;
}

}  // namespace core
