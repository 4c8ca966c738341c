#include "bubble/XToolbarBubbleConfigFile.h"

namespace bubble
{

const storage::RuntimeClass XToolbarBubbleConfigFile::s_class{
    "XToolbarBubbleConfigFile", storage::kNotSerializable, nullptr};

const storage::RuntimeClass* XToolbarBubbleConfigFile::GetRuntimeClass() const noexcept
{
    return &s_class;
}

bool XToolbarBubbleConfigFile::Save(bool report)
{
    return storage::XStreamFile::Save(report);
}

std::unique_ptr<storage::XCompoundStream> XToolbarBubbleConfigFile::CreateStream()
{
    return std::make_unique<XToolbarBubbleConfigStream>();
}

bool XToolbarBubbleConfigFile::ReportError(const std::wstring&)
{
    return true;
}

bool XToolbarBubbleConfigFile::Notify(std::uintptr_t)
{
    return true;
}

XToolbarBubbleConfigStream* XToolbarBubbleConfigFile::GetRecord() const noexcept
{
    return dynamic_cast<XToolbarBubbleConfigStream*>(GetStream());
}

}  // namespace bubble
