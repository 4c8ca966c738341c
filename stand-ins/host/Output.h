#pragma once
// The host's report: one line of text per happening, written to stdout as UTF-8 with one WriteFile each,
// so a reader on a pipe sees every line as soon as it is complete (nothing is buffered in the process).
// Tests may send the lines to a callback instead. Any thread may write; lines never interleave.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace kelhost
{

void WriteLine(std::wstring_view line);

// Lines go to `sink` instead of stdout while it is set; an empty function restores stdout.
void SetLineSink(std::function<void(const std::wstring&)> sink);

// A text in double quotes, readable back by a line parser: \" \\ \n \r \t and \xNN for other control
// characters, everything else as it is.
[[nodiscard]] std::wstring Quote(std::wstring_view text);

// "0x8000FFFF": an HRESULT as eight hex digits.
[[nodiscard]] std::wstring HexResult(HRESULT hr);

}  // namespace kelhost
