#include "EventBroadcast.h"

#include <cstring>

namespace kelhost
{
namespace
{
constexpr ULONG_PTR kEventTag = 0x4B454C45;  // "KELE"
constexpr UINT kSendTimeoutMs = 5000;

// The record: tag, number, name length in characters, then the name (no terminator).
struct EventHeader
{
    DWORD tag;
    INT32 number;
    DWORD nameLength;
};

struct BroadcastState
{
    const COPYDATASTRUCT* data;
    HWND sender;
    int reached;
};

BOOL CALLBACK SendToFrame(HWND window, LPARAM context) noexcept
{
    auto* state = reinterpret_cast<BroadcastState*>(context);
    wchar_t className[64] = {};
    if (::GetClassNameW(window, className, static_cast<int>(std::size(className))) == 0 ||
        std::wcscmp(className, kFrameClassName) != 0)
    {
        return TRUE;
    }
    DWORD_PTR answer = 0;
    if (::SendMessageTimeoutW(window, WM_COPYDATA, reinterpret_cast<WPARAM>(state->sender),
            reinterpret_cast<LPARAM>(state->data), SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer) &&
        answer == TRUE)
    {
        ++state->reached;
    }
    return TRUE;
}
}  // namespace

std::vector<BYTE> EncodeToolbarEvent(const ToolbarEvent& event)
{
    const EventHeader header{static_cast<DWORD>(kEventTag), event.number, static_cast<DWORD>(event.name.size())};
    std::vector<BYTE> record(sizeof(header) + event.name.size() * sizeof(wchar_t));
    std::memcpy(record.data(), &header, sizeof(header));
    std::memcpy(record.data() + sizeof(header), event.name.data(), event.name.size() * sizeof(wchar_t));
    return record;
}

bool DecodeToolbarEvent(const COPYDATASTRUCT* data, ToolbarEvent& event)
{
    if (!data || data->dwData != kEventTag || !data->lpData || data->cbData < sizeof(EventHeader))
    {
        return false;
    }
    EventHeader header{};
    std::memcpy(&header, data->lpData, sizeof(header));
    if (header.tag != kEventTag || header.nameLength == 0 || header.nameLength > kMaxEventNameLength ||
        data->cbData != sizeof(header) + header.nameLength * sizeof(wchar_t))
    {
        return false;
    }
    std::wstring name(header.nameLength, L'\0');
    std::memcpy(
        name.data(), static_cast<const BYTE*>(data->lpData) + sizeof(header), header.nameLength * sizeof(wchar_t));
    if (!IsValidEventName(name))
    {
        return false;
    }
    event.name = std::move(name);
    event.number = header.number;
    return true;
}

int BroadcastToolbarEvent(const ToolbarEvent& event, HWND sender)
{
    std::vector<BYTE> record = EncodeToolbarEvent(event);
    COPYDATASTRUCT data{kEventTag, static_cast<DWORD>(record.size()), record.data()};
    BroadcastState state{&data, sender, 0};
    ::EnumWindows(&SendToFrame, reinterpret_cast<LPARAM>(&state));
    return state.reached;
}

}  // namespace kelhost
