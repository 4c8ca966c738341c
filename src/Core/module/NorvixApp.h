#pragma once
// NorvixApp: the module's application object. The loader tells it the module's handle; the first request
// for a class object runs its start (the shared fonts in the face of string 998), once per loaded module.
// Nothing runs under the loader lock but storing the handle.

#include <windows.h>

namespace core
{

class NorvixApp
{
public:
    [[nodiscard]] static NorvixApp& Instance() noexcept;

    void OnProcessAttach(HINSTANCE module) noexcept { m_module = module; }
    // Runs InitInstance the first time it is called; later calls only give its result.
    bool EnsureStarted() noexcept;
    [[nodiscard]] HINSTANCE Module() const noexcept { return m_module; }

private:
    NorvixApp() noexcept = default;
    bool InitInstance() noexcept;

    HINSTANCE m_module = nullptr;
};

}  // namespace core
