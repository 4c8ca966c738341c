#pragma once
// StatusConfigFile: the status file that every browser process of the user shares. It holds a
// StatusConfigStream; failures are not shown to the user (the in-memory record then keeps its values or the
// defaults), only reported for diagnosis by the storage layer (win::FailureReport). Owned by the product control; loads
// on the UI thread, saves on its polling thread, never both at once on one object.

#include "Core/StatusConfigStream.h"
#include "storage/XStreamFile.h"

class StatusConfigFile : public XStreamFile
{
public:
    [[nodiscard]] const storage::RuntimeClass* GetRuntimeClass() const noexcept override;
    [[nodiscard]] std::unique_ptr<XCompoundStream> CreateStream() override;
    bool ReportError(const std::wstring& text) override;
    bool Notify(std::uintptr_t argument) override;

    // The record (null before Open); replaced by every reset, so look it up after each Load.
    [[nodiscard]] StatusConfigStream* GetRecord() const noexcept;

    static const storage::RuntimeClass s_class;
};
