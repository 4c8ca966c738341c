#pragma once
// FakeHost: a toolbar host's dispatch object for tests. It answers the host's text lookup (8) from `settings`,
// else with the caller's default as the real host does, expands macros to the text itself (14), and gives its
// toolbar window (9); `onRead` is told of each key looked up. Set the fields before the control calls; a test
// may still set a handler of its own for a host that misbehaves.

#include "support/FakeDispatch.h"

#include <windows.h>

#include <functional>
#include <map>
#include <string>

namespace testing_support
{

class FakeHost : public FakeDispatch
{
public:
    explicit FakeHost(HWND toolbarWindow);

    HWND toolbar;
    std::map<std::wstring, std::wstring> settings;
    std::function<void(const std::wstring& key)> onRead;
};

}  // namespace testing_support
