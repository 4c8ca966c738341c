#include "win/DetachedThread.h"

#include "win/FailureReport.h"
#include "win/Handle.h"

#include <process.h>

#include <memory>

namespace win
{
namespace
{

struct Start
{
    std::function<void()> body;
    HMODULE module;
};

unsigned __stdcall Run(void* parameter) noexcept
{
    HMODULE module = nullptr;
    {
        const std::unique_ptr<Start> start(static_cast<Start*>(parameter));
        module = start->module;
        try
        {
            start->body();
        }
        catch (...)
        {
            (void)WIN_REPORT_CAUGHT("detached thread body");
        }
    }
    // Ends the thread inside the system: no code of the module runs after its reference is given back.
    ::FreeLibraryAndExitThread(module, 0);
}

}  // namespace

bool StartDetachedThread(std::function<void()> body) noexcept
{
    try
    {
        ModuleHandle module;
        if (!::GetModuleHandleExW(
                GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&Run), module.Put()))
        {
            return false;
        }
        auto start = std::make_unique<Start>(Start{std::move(body), module.Get()});
        // _beginthreadex rather than CreateThread, so the C runtime's per-thread data is set up and freed.
        KernelHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Run, start.get(), 0, nullptr)));
        if (!thread)
        {
            return false;
        }
        (void)start.release();
        (void)module.Release();
        return true;
    }
    catch (...)
    {
        (void)WIN_REPORT_CAUGHT("StartDetachedThread");
        return false;
    }
}

}  // namespace win
