#include "Core/StatusConfigFile.h"

namespace core
{

const storage::RuntimeClass StatusConfigFile::s_class{"StatusConfigFile", storage::kNotSerializable, nullptr};

const storage::RuntimeClass* StatusConfigFile::GetRuntimeClass() const noexcept
{
    return &s_class;
}

std::unique_ptr<storage::XCompoundStream> StatusConfigFile::CreateStream()
{
    return std::make_unique<StatusConfigStream>();
}

bool StatusConfigFile::ReportError(const std::wstring&)
{
    return true;
}

bool StatusConfigFile::Notify(std::uintptr_t)
{
    return true;
}

StatusConfigStream* StatusConfigFile::GetRecord() const noexcept
{
    return dynamic_cast<StatusConfigStream*>(GetStream());
}

}  // namespace core
