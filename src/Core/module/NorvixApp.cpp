#include "module/NorvixApp.h"

#include "res/resource.h"
#include "ui/XGlobalGDI.h"

namespace core
{

NorvixApp& NorvixApp::Instance() noexcept
{
    static NorvixApp app;
    return app;
}

bool NorvixApp::EnsureStarted() noexcept
{
    static const bool started = InitInstance();
    return started;
}

bool NorvixApp::InitInstance() noexcept
{
    // Without its fonts the add-on still works: its windows keep the system's font.
    (void)ui::TheGlobalGDI().CreateFonts(IDS_FONT_FACE_DEFAULT, m_module);
    return true;
}

}  // namespace core
