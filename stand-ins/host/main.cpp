// KelHost.exe: a Kel toolbar host. Opens browser tabs with the host's toolbar, creates the add-on control in
// each, and is steered through commands on stdin; see HelpText for the commands and the report lines.

#include "HostApp.h"
#include "Output.h"

#include "win/Scope.h"
#include "win/Strings.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace
{

// Reads stdin line by line (UTF-8) and hands each line to the host's message window; the end of the input
// is handed over too. NOTE: the thread may still be blocked in ReadFile when the host ends; the process
// exit ends it, so nobody joins it.
DWORD WINAPI ReadInput(void* context) noexcept
{
    const HWND window = static_cast<HWND>(context);
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    try
    {
        std::string pending;
        char buffer[4096];
        DWORD read = 0;
        while (input && input != INVALID_HANDLE_VALUE && ::ReadFile(input, buffer, sizeof(buffer), &read, nullptr) &&
            read > 0)
        {
            pending.append(buffer, read);
            size_t end;
            while ((end = pending.find('\n')) != std::string::npos)
            {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r')
                {
                    line.pop_back();
                }
                kelhost::HostApp::PostLine(window, win::AnsiToWide(line, CP_UTF8));
            }
        }
        if (!pending.empty())
        {
            kelhost::HostApp::PostLine(window, win::AnsiToWide(pending, CP_UTF8));
        }
    }
    catch (...)
    {
    }
    kelhost::HostApp::PostEndOfInput(window);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    kelhost::HostOptions options;
    std::wstring error;
    if (!kelhost::ParseHostOptions(args, options, error))
    {
        kelhost::WriteLine(L"error options " + error + L" (see --help)");
        return 2;
    }
    if (options.help)
    {
        std::wstring_view text = kelhost::HelpText();
        while (!text.empty())
        {
            const size_t end = text.find(L'\n');
            kelhost::WriteLine(text.substr(0, end));
            text = end == std::wstring_view::npos ? std::wstring_view() : text.substr(end + 1);
        }
        return 0;
    }

    const win::ComInit com(COINIT_APARTMENTTHREADED);
    if (FAILED(com.Result()))
    {
        kelhost::WriteLine(L"error start COM " + kelhost::HexResult(com.Result()));
        return 1;
    }
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    int code = 1;
    {
        kelhost::HostApp app(std::move(options));
        if (!app.Start())
        {
            return 1;
        }
        const win::KernelHandle reader(::CreateThread(nullptr, 0, &ReadInput, app.MessageWindow(), 0, nullptr));
        if (!reader)
        {
            kelhost::WriteLine(L"error start cannot read stdin");
            return 1;
        }
        code = app.Run();
    }
    return code;
}
