// A module that exists only for its version resource.
#include <windows.h>

extern "C" __declspec(dllexport) int VersionProbeMarker()
{
    return 1;
}
