#pragma once
// ChildProcess: a program started by a test with its standard input and output connected to pipes, so the
// test can send command lines and wait for the lines it prints. Output is read by a thread of its own into a
// line buffer; waits have deadlines. The process is ended (stdin closed, then terminated if it does not quit
// within a grace period) when the object goes.

#include "win/Handle.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support
{

class ChildProcess
{
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // Starts `commandLine` (the program path quoted as needed).
    [[nodiscard]] bool Start(const std::wstring& commandLine);

    // Sends one line (a newline is added).
    bool Send(const std::string& line);
    // Closes the child's standard input: a program reading commands takes it as the end.
    void CloseInput();

    // Waits for a printed line containing `text`, starting after the line last matched by a wait; gives the
    // line in `found`. False when the deadline passes or the output ends first.
    [[nodiscard]] bool WaitForLine(const std::string& text, unsigned timeoutMs = 10000, std::string* found = nullptr);
    // Every line printed so far.
    [[nodiscard]] std::vector<std::string> Lines() const;
    // Number of printed lines that contain `text`.
    [[nodiscard]] size_t CountLines(const std::string& text) const;

    // Waits for the process to end; its exit code, or -1 on time-out.
    int WaitForExit(unsigned timeoutMs = 10000);
    [[nodiscard]] DWORD Id() const noexcept { return m_id; }

private:
    void ReadOutput();

    win::KernelHandle m_process;
    win::FileHandle m_input;
    win::FileHandle m_output;
    DWORD m_id = 0;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
    bool m_ended = false;
    size_t m_next = 0;
};

}  // namespace testing_support
