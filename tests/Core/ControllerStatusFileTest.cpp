#include "Core/Controller.h"

#include "win/ClassFactory.h"
#include "win/ComPtr.h"
#include "win/File.h"
#include "win/Thread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace
{

// The worker saves the shared status file while the UI thread reloads it on every event: both use the one
// file object of the control, whose record a load replaces. Hammered from both sides, every reload must see
// a whole record and the file must stay readable.
TEST(ControllerStatusFileTest, WorkerSavesAndUiReloadsNeverTearTheRecord)
{
    win::ComPtr<IUnknown> object;
    ASSERT_EQ(S_OK, Controller::ControllerFactory::CreateInstance(IID_IUnknown, object.PutVoid()));
    auto* controller = dynamic_cast<Controller*>(object.Get());
    ASSERT_NE(nullptr, controller);
    win::File::Remove(Controller::StatusFilePath());
    controller->OpenStatusFile();
    ASSERT_TRUE(controller->Api().SetStatuses(PaviseStatus::Deactivated, NorvixStatus::Update));
    controller->SaveStatusFile(true, true, true);

    std::atomic<bool> stop{false};
    win::Thread worker([&] {
        for (int i = 0; i < 2000 && !stop; ++i)
        {
            controller->SaveStatusFile(true, true, true);
        }
        return DWORD{0};
    });
    ASSERT_TRUE(worker.Create());
    ASSERT_TRUE(worker.Resume());
    int reloads = 0;
    while (!worker.HasEnded())
    {
        controller->ReloadStatusFile();
        ++reloads;
        ASSERT_EQ(PaviseStatus::Deactivated, controller->Api().GetPaviseStatus());
        ASSERT_EQ(NorvixStatus::Update, controller->Api().GetNorvixStatus());
    }
    stop = true;
    EXPECT_GT(reloads, 0);
    controller->ReloadStatusFile();
    EXPECT_EQ(NorvixStatus::Update, controller->Api().GetNorvixStatus());
    controller->CloseStatusFile();
    win::File::Remove(Controller::StatusFilePath());
}

} // namespace
