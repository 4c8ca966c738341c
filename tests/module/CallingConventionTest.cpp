// Every export of Norvix.dll and the methods a host calls on its class factory and its control take their own
// arguments off the stack (__stdcall), as Windows' callers expect of them. A function that loses its
// __stdcall still links (the module's .def names it) and still works when its caller happens to restore its
// stack pointer from a frame pointer, as Wine's regsvr32 and our own test code do; a browser built with frame
// pointer omission crashes on the first call. So each is called here through a thunk that measures how many
// bytes the callee took off the stack. 32-bit only: x86-64 has one convention, and the 64-bit build skips it.

#include "Core/NorvixIds.h"
#include "win/ComPtr.h"
#include "win/Module.h"

#include <gtest/gtest.h>
#include <ole2.h>

#include <cstdint>
#include <string>
#include <vector>

#if defined(__i386__)
// uint32_t NorvixCallStdcall(const void* function, const uint32_t* args, uint32_t count, uint32_t* popped):
// pushes `count` arguments (the first one last, so it is on top), calls `function`, writes to `popped` how many
// bytes the callee took off the stack and returns its EAX; the caller's stack is restored from EBP whatever
// the callee did.
extern "C" uint32_t NorvixCallStdcall(const void*, const uint32_t*, uint32_t, uint32_t*);
asm(R"(
    .text
    .globl _NorvixCallStdcall
_NorvixCallStdcall:
    push %ebp
    mov %esp, %ebp
    push %esi
    push %edi
    push %ebx
    mov 12(%ebp), %esi
    mov 16(%ebp), %ecx
1:  test %ecx, %ecx
    jz 2f
    push -4(%esi,%ecx,4)
    dec %ecx
    jmp 1b
2:  mov %esp, %edi
    call *8(%ebp)
    mov %esp, %edx
    sub %edi, %edx
    mov 20(%ebp), %ecx
    mov %edx, (%ecx)
    lea -12(%ebp), %esp
    pop %ebx
    pop %edi
    pop %esi
    pop %ebp
    ret
)");
#endif

namespace
{

#if defined(__i386__)
std::wstring WindowsPath(const char* unixPath)
{
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c; ++c)
    {
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    }
    return path;
}

struct Call
{
    const char* name;
    const void* function;
    std::vector<uint32_t> args;
};

// The vtable entry `index` of a COM object.
const void* Method(void* object, int index)
{
    return (*static_cast<void* const* const*>(object))[index];
}

uint32_t Arg(const void* pointer)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}
#endif

TEST(CallingConventionTest, ExportsAndComMethodsTakeTheirArgumentsOffTheStack)
{
#if !defined(__i386__)
    GTEST_SKIP() << "x86-64 has a single calling convention";
#else
    ASSERT_EQ(S_OK, ::OleInitialize(nullptr));
    const win::ModuleHandle module(::LoadLibraryW(WindowsPath(NORVIX_DLL).c_str()));
    ASSERT_TRUE(module);
    const auto proc = [&](const char* name) {
        return reinterpret_cast<const void*>(::GetProcAddress(module.Get(), name));
    };

    // The class factory and a control, made through the module's own export (nothing is registered here).
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    win::ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK,
        reinterpret_cast<GetClassObject>(proc("DllGetClassObject"))(
            CLSID_Norvix, IID_IClassFactory, reinterpret_cast<void**>(factory.Put())));
    win::ComPtr<IDispatch> control;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(control.Put())));

    void* out = nullptr;
    UINT count = 0;
    const CLSID unknownClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    OLECHAR name[] = L"NoSuchMember";
    LPOLESTR names[] = {name};
    DISPID dispid = 0;
    const Call calls[] = {
        // Calls that change nothing: a class or an interface nobody serves, per-machine registration (the
        // default), a member the control does not have.
        {"DllGetClassObject", proc("DllGetClassObject"), {Arg(&unknownClass), Arg(&IID_IClassFactory), Arg(&out)}},
        {"DllSetPerUserRegistration", proc("DllSetPerUserRegistration"), {FALSE}},
        {"DllCanUnloadNow", proc("DllCanUnloadNow"), {}},
        {"IClassFactory::LockServer", Method(factory.Get(), 4), {Arg(factory.Get()), TRUE}},
        {"IClassFactory::LockServer", Method(factory.Get(), 4), {Arg(factory.Get()), FALSE}},
        {"IClassFactory::CreateInstance", Method(factory.Get(), 3),
            {Arg(factory.Get()), 0, Arg(&unknownClass), Arg(&out)}},
        {"IUnknown::AddRef", Method(control.Get(), 1), {Arg(control.Get())}},
        {"IUnknown::Release", Method(control.Get(), 2), {Arg(control.Get())}},
        {"IDispatch::GetTypeInfoCount", Method(control.Get(), 3), {Arg(control.Get()), Arg(&count)}},
        {"IDispatch::GetIDsOfNames", Method(control.Get(), 5),
            {Arg(control.Get()), Arg(&IID_NULL), Arg(names), 1, LOCALE_USER_DEFAULT, Arg(&dispid)}},
    };
    for (const Call& call : calls)
    {
        SCOPED_TRACE(call.name);
        ASSERT_NE(nullptr, call.function);
        uint32_t popped = 0;
        (void)NorvixCallStdcall(call.function, call.args.data(), static_cast<uint32_t>(call.args.size()), &popped);
        EXPECT_EQ(4 * call.args.size(), popped);
    }
    // DllInstall is left out: every call of it changes the registration.
    control.Reset();
    factory.Reset();
    ::OleUninitialize();
#endif
}

}  // namespace
