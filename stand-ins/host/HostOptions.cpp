#include "HostOptions.h"

#include "win/Strings.h"

namespace kelhost
{

bool ParseCount(std::wstring_view text, unsigned long maxValue, unsigned long& value) noexcept
{
    if (text.empty() || text.size() > 10)
    {
        return false;
    }
    unsigned long long number = 0;
    for (const wchar_t c : text)
    {
        if (c < L'0' || c > L'9')
        {
            return false;
        }
        number = number * 10 + static_cast<unsigned>(c - L'0');
    }
    if (number > maxValue)
    {
        return false;
    }
    value = static_cast<unsigned long>(number);
    return true;
}

bool ParseHostOptions(const std::vector<std::wstring>& args, HostOptions& options, std::wstring& error)
{
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::wstring& arg = args[i];
        const auto value = [&](std::wstring& out) {
            if (i + 1 >= args.size())
            {
                error = arg + L" needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::wstring text;
        if (arg == L"--help" || arg == L"-h" || arg == L"/?")
        {
            options.help = true;
        }
        else if (arg == L"--no-control")
        {
            options.noControl = true;
        }
        else if (arg == L"--no-overlay-watch")
        {
            options.overlayWatch = false;
        }
        else if (arg == L"--no-button-reports")
        {
            options.buttonReports = false;
        }
        else if (arg == L"--tabs")
        {
            unsigned long tabs = 0;
            if (!value(text))
            {
                return false;
            }
            if (!ParseCount(text, 32, tabs))
            {
                error = L"--tabs takes a number from 0 to 32";
                return false;
            }
            options.tabs = static_cast<int>(tabs);
        }
        else if (arg == L"--progid")
        {
            if (!value(options.progId))
            {
                return false;
            }
        }
        else if (arg == L"--clsid")
        {
            if (!value(options.clsid))
            {
                return false;
            }
        }
        else if (arg == L"--settings")
        {
            if (!value(options.settingsFile))
            {
                return false;
            }
        }
        else
        {
            error = L"unknown option " + arg;
            return false;
        }
    }
    return true;
}

std::pair<std::wstring, std::wstring> SplitWord(std::wstring_view text)
{
    const std::wstring trimmed = win::Trim(text);
    const size_t blank = trimmed.find_first_of(L" \t");
    if (blank == std::wstring::npos)
    {
        return {trimmed, L""};
    }
    return {trimmed.substr(0, blank), win::Trim(std::wstring_view(trimmed).substr(blank))};
}

CommandLine SplitCommand(std::wstring_view line)
{
    auto [verb, rest] = SplitWord(line);
    return {win::ToLower(verb), std::move(rest)};
}

const wchar_t* HelpText() noexcept
{
    return LR"(KelHost.exe: a Kel toolbar host for the add-on control.

Options:
  --tabs N           open N tabs at start (default 1, 0..32)
  --progid NAME      create the control by this ProgID (default Kel.Norvix)
  --clsid {GUID}     create the control by this CLSID instead
  --no-control       create no control; toolbar events are only reported
  --settings FILE    setting overrides, one "key=value" a line ('#' starts a comment)
  --no-overlay-watch no "overlay" lines: the 25 ms watch of what the overlays show is off (for measurements)
  --no-button-reports no "button" lines: the host does not compare its buttons around each change (for
                     measurements)
  --help             this text

Commands, one a line on stdin (the host quits when stdin ends):
  open                         open a tab (the next number)
  close TAB                    release the tab's control, then close the tab
  click TAB BUTTON             click a button: name (CID_NORVIX_UPDATE), short name (search, logo,
                               pavise, update, options) or command id; an add-on overlay over the
                               button gets a mouse press and release at its centre, a plain button
                               a WM_COMMAND
  hover TAB BUTTON             put the mouse pointer on the middle of the button (its overlay, if any),
                               so its tooltip shows; reports the point and the button's screen rectangle
  event NAME                   raise toolbar event NAME in every host window of every KelHost
  trap TAB close|restart event|setting NAME
                               the next time the tab's control fires toolbar event NAME (or looks up
                               setting NAME), release it and close the tab, or start it again, from
                               inside that call, as a browser may; once
  pref textlabels VALUE        write the TextLabels preference (HKCU\Software\KelToolbar\Prefs) and
                               send 3028 (wParam 1) to every toolbar
  relayout [TAB]               send 3055 (wParam 1) to the toolbar of TAB or of every tab
  state [TAB]                  print every button of TAB or of every tab
  set KEY=VALUE                store a setting (host call 8 answers it from now on)
  wait MS                      let MS milliseconds pass before the next command (events keep flowing)
  busy MS                      keep the window thread busy for MS milliseconds: no message is handled
  help                         this text
  quit                         release every control, close every tab and end

Output, one line each, texts in double quotes with \" \\ \n \r \t \xNN escapes:
  kelhost pid=P control=PROGID|CLSID|none     at start
  ready tabs=N                                after the start tabs are open
  tab T open window=0xW toolbar=0xW
  tab T control created module="FILE" [per-user=1]
  tab T control failed step=S hr=0xH [module="FILE" per-user=1]
                                              per-user=1: COM did not know the class (Wine reads no
                                              per-user class registrations), so the host made it from
                                              HKCU\Software\Classes itself, as Windows' COM would
  tab T unlock hr=0xH
  tab T startup hr=0xH result=0xR
  tab T button ID name=N icon="" title="" tooltip="" visible=0|1 enabled=0|1 width=W overlay=0|1
                                              whenever what a button shows changes
  tab T overlay ID name=N icon=I title="" tooltip="" visible=0|1 enabled=0|1 shown=0|1
                                              whenever what an add-on overlay shows changes;
                                              enabled: it takes clicks, shown: its tooltip is up
  tab T attribute ID "TEXT" taken=0|1         every attribute message (3036)
  tab T fire "NAME" NUMBER windows=K          an add-on raised a toolbar event
  fire "NAME" windows=K                       the event command raised one
  tab T event "NAME" hr=0xH result=0xR | tab T event "NAME" control=none
  tab T navigate url="U" flags=F              F: none, empty or the number
  tab T command ID NAME                       a plain button was clicked
  tab T layout                                the host's own layout request (3034 with 0, 1)
  tab T relayout result=R
  tab T control released
  tab T trap close|restart event|setting "NAME"
                                              a trap was sprung (then: control released, or startup)
  tab T closed
  state tab T button ...                      lines of the state command
  ok VERB [details] | error VERB reason       after every command
                                              (ok hover T ID x=X y=Y rect=L,T,R,B: screen pixels)
  bye                                         before the host ends
)";
}

}  // namespace kelhost
