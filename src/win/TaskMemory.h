#pragma once
// The owner of memory from the COM task allocator (strings that system calls hand out).

#include <windows.h>
#include <objbase.h>

#include "win/Handle.h"

namespace win
{
namespace traits
{
template <typename T>
struct TaskMemory
{
    using Type = T*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type p) noexcept { ::CoTaskMemFree(p); }
};
}  // namespace traits

template <typename T>
using TaskMemory = UniqueHandle<traits::TaskMemory<T>>;

}  // namespace win
