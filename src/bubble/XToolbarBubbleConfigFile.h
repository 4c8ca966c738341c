#pragma once
// XToolbarBubbleConfigFile: the install-bubble file, holding an XToolbarBubbleConfigStream. Failures are not
// reported anywhere. Used on the UI thread of the control that shows the bubble.

#include "bubble/XToolbarBubbleConfigStream.h"
#include "storage/XStreamFile.h"

namespace bubble
{

class XToolbarBubbleConfigFile : public storage::XStreamFile
{
public:
    [[nodiscard]] const storage::RuntimeClass* GetRuntimeClass() const noexcept override;
    [[nodiscard]] bool Save(bool report) override;
    [[nodiscard]] std::unique_ptr<storage::XCompoundStream> CreateStream() override;
    bool ReportError(const std::wstring& text) override;
    bool Notify(std::uintptr_t argument) override;

    // The record (null before Open); replaced by every reset, so look it up after each Load.
    [[nodiscard]] XToolbarBubbleConfigStream* GetRecord() const noexcept;

    static const storage::RuntimeClass s_class;
};

}  // namespace bubble
