#include "bubble/ShowInstallBubble.h"

namespace bubble
{

bool ShowInstallBubbleOnce(ui::XBubbleOwner& owner, HWND parent, const std::wstring& path,
    std::unique_ptr<XToolbarBubbleConfigFile>& file, std::unique_ptr<InstallBubbleDialog>& bubble)
{
    bubble.reset();  // destroys an open bubble's window, tracking thread first

    file = std::make_unique<XToolbarBubbleConfigFile>();
    file->SetRetryLimit(storage::kUiThreadRetryLimitMs);
    file->Open(path);
    // A failure leaves the default record, which shows the bubble.
    (void)file->Load(/*report=*/false, /*resetOnFailure=*/true);
    XToolbarBubbleConfigStream* record = file->GetRecord();
    if (!record || record->m_showFlag == 0)
    {
        return false;
    }
    record->m_showFlag = 0;
    (void)file->Save(/*report=*/true);  // not reported anywhere; a failed save shows the bubble again next time

    // Made aside and handed over whole: the host's answers to the bubble's text reads run while it is made, and
    // whatever the caller does to `bubble` meanwhile cannot reach the object under construction.
    auto made = std::make_unique<InstallBubbleDialog>(&owner);
    if (!made->CreateBubble(parent))
    {
        return false;
    }
    bubble = std::move(made);
    return true;
}

}  // namespace bubble
