#include "support/ChildProcess.h"

#include <algorithm>
#include <chrono>

namespace testing_support
{

ChildProcess::~ChildProcess()
{
    CloseInput();
    if (m_process && ::WaitForSingleObject(m_process.Get(), 5000) == WAIT_TIMEOUT)
    {
        ::TerminateProcess(m_process.Get(), 1);
        ::WaitForSingleObject(m_process.Get(), 5000);
    }
    if (m_reader.joinable())
    {
        m_reader.join();
    }
}

bool ChildProcess::Start(const std::wstring& commandLine)
{
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    win::FileHandle childInput;
    win::FileHandle childOutput;
    if (!::CreatePipe(childInput.Put(), m_input.Put(), &inherit, 0) ||
        !::CreatePipe(m_output.Put(), childOutput.Put(), &inherit, 0))
    {
        return false;
    }
    ::SetHandleInformation(m_input.Get(), HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(m_output.Get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput.Get();
    startup.hStdOutput = childOutput.Get();
    startup.hStdError = childOutput.Get();
    PROCESS_INFORMATION info{};
    std::wstring command = commandLine;
    if (!::CreateProcessW(
            nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info))
    {
        return false;
    }
    ::CloseHandle(info.hThread);
    m_process.Reset(info.hProcess);
    m_id = info.dwProcessId;
    m_reader = std::thread([this] { ReadOutput(); });
    return true;
}

bool ChildProcess::Send(const std::string& line)
{
    const std::string data = line + "\n";
    DWORD written = 0;
    return m_input && ::WriteFile(m_input.Get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
        written == data.size();
}

void ChildProcess::CloseInput()
{
    m_input.Reset();
}

void ChildProcess::ReadOutput()
{
    char buffer[4096];
    DWORD read = 0;
    std::string partial;
    while (::ReadFile(m_output.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
    {
        std::lock_guard lock(m_mutex);
        partial.append(buffer, read);
        for (size_t end = 0; (end = partial.find('\n')) != std::string::npos; partial.erase(0, end + 1))
        {
            m_lines.push_back(partial.substr(0, end > 0 && partial[end - 1] == '\r' ? end - 1 : end));
        }
        m_changed.notify_all();
    }
    std::lock_guard lock(m_mutex);
    if (!partial.empty())
    {
        m_lines.push_back(partial);
    }
    m_ended = true;
    m_changed.notify_all();
}

bool ChildProcess::WaitForLine(const std::string& text, unsigned timeoutMs, std::string* found)
{
    std::unique_lock lock(m_mutex);
    bool matched = false;
    const auto seen = [&] {
        for (; !matched && m_next < m_lines.size(); ++m_next)
        {
            if (m_lines[m_next].find(text) != std::string::npos)
            {
                matched = true;
                if (found)
                {
                    *found = m_lines[m_next];
                }
            }
        }
        return matched || m_ended;
    };
    (void)m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), seen);
    return matched;
}

std::vector<std::string> ChildProcess::Lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

size_t ChildProcess::CountLines(const std::string& text) const
{
    std::lock_guard lock(m_mutex);
    return static_cast<size_t>(std::count_if(
        m_lines.begin(), m_lines.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; }));
}

int ChildProcess::WaitForExit(unsigned timeoutMs)
{
    if (!m_process || ::WaitForSingleObject(m_process.Get(), timeoutMs) != WAIT_OBJECT_0)
    {
        return -1;
    }
    // Everything the process wrote is read before its end is reported: its last lines are counted too.
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::milliseconds(5000), [this] { return m_ended; });
    }
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.Get(), &code);
    return static_cast<int>(code);
}

}  // namespace testing_support
