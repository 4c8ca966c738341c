// The host's text formats: the FireEvent script, attribute texts, brace macros, setting overrides, the event
// record that travels between processes, and the command line.

#include "AttributeText.h"
#include "EventBroadcast.h"
#include "FireEventScript.h"
#include "HostOptions.h"
#include "HostSettings.h"
#include "MacroExpander.h"

#include "support/TempFolder.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

#include <fstream>

namespace
{

std::string Narrow(std::wstring_view text)
{
    return win::WideToAnsi(text, CP_UTF8);
}

TEST(FireEventScriptTest, TakesOnlyTheExactCallWithItsTwoEscapes)
{
    struct Case
    {
        const wchar_t* script;
        bool accepted;
        const wchar_t* name;
        std::int32_t number;
    };
    const Case cases[] = {
        {LR"(toolbar.FireEvent("UpdateStatus", 1))", true, L"UpdateStatus", 1},
        {LR"(toolbar.FireEvent("UpdateStatus",1))", true, L"UpdateStatus", 1},
        {LR"(toolbar.FireEvent("A", -2147483648))", true, L"A", INT32_MIN},
        {LR"(toolbar.FireEvent("A", 2147483647  ))", true, L"A", INT32_MAX},
        {LR"(toolbar.FireEvent("say \"hi\"", 0))", true, L"say \"hi\"", 0},
        {LR"(toolbar.FireEvent("back\\slash", 3))", true, L"back\\slash", 3},
        {LR"(toolbar.FireEvent("a\\", 3))", true, L"a\\", 3},
        // A quote that ends the name early leaves script behind it.
        {LR"(toolbar.FireEvent("x", 1); evil("y", 1))", false},
        {LR"(toolbar.FireEvent("x"); evil(", 1))", false},
        {LR"(toolbar.FireEvent("a\", 1))", false},
        {LR"(toolbar.FireEvent("a\n", 1))", false},
        {LR"(toolbar.FireEvent("", 1))", false},
        {LR"(toolbar.FireEvent("A", 2147483648))", false},
        {LR"(toolbar.FireEvent("A", -2147483649))", false},
        {LR"(toolbar.FireEvent("A", +1))", false},
        {LR"(toolbar.FireEvent("A", 1x))", false},
        {LR"(toolbar.FireEvent("A", ))", false},
        {LR"(toolbar.FireEvent("A" 1))", false},
        {LR"(toolbar.FireEvent("A",   7 ))", true, L"A", 7},
        {LR"(toolbar.FireEvent("A", 1);)", false},
        {LR"( toolbar.FireEvent("A", 1))", false},
        {LR"(toolbar.FireEvent('A', 1))", false},
        {LR"(toolbar.fireevent("A", 1))", false},
        {LR"(toolbar.FireEvent("A", 1)", false},
        {LR"(toolbar.FireEvent("A)", false},
        {L"", false},
        {L"toolbar.FireEvent(\"tab\there\", 1)", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(Narrow(c.script));
        kelhost::ToolbarEvent event{L"untouched", 77};
        ASSERT_EQ(c.accepted, kelhost::ParseFireEventScript(c.script, event));
        EXPECT_EQ(c.accepted ? std::wstring(c.name) : L"untouched", event.name);
        EXPECT_EQ(c.accepted ? c.number : 77, event.number);
    }
}

TEST(FireEventScriptTest, NameLengthIsBounded)
{
    kelhost::ToolbarEvent event;
    const std::wstring longest(kelhost::kMaxEventNameLength, L'n');
    EXPECT_TRUE(kelhost::ParseFireEventScript(L"toolbar.FireEvent(\"" + longest + L"\", 1)", event));
    EXPECT_FALSE(kelhost::ParseFireEventScript(L"toolbar.FireEvent(\"" + longest + L"n\", 1)", event));
}

TEST(AttributeTextTest, ReadsTheFourAttributesAndRefusesTheRest)
{
    struct Case
    {
        const wchar_t* text;
        bool accepted;
        kelhost::AttributeKind kind;
        const wchar_t* value;
        bool visible;
    };
    using K = kelhost::AttributeKind;
    const Case cases[] = {
        {LR"(icon="1004")", true, K::Icon, L"1004", true},
        {LR"(title="Update Norvix")", true, K::Title, L"Update Norvix", true},
        {LR"(title="")", true, K::Title, L"", true},
        {LR"(title="Say "hi"")", true, K::Title, L"Say \"hi\"", true},
        {LR"(tooltip="a=b")", true, K::Tooltip, L"a=b", true},
        {LR"(visibility="true")", true, K::Visibility, L"true", true},
        {LR"(visibility="false")", true, K::Visibility, L"false", false},
        {LR"(visibility="no")", false},
        {LR"(visibility="TRUE")", false},
        {LR"(colour="red")", false},
        {LR"(Title="x")", false},
        {LR"(title=x)", false},
        {LR"(title="x)", false},
        {LR"(title="x" )", false},
        {LR"(title=")", false},
        {L"title", false},
        {L"", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(Narrow(c.text));
        kelhost::Attribute attribute{K::Icon, L"untouched", true};
        ASSERT_EQ(c.accepted, kelhost::ParseAttribute(c.text, attribute));
        if (c.accepted)
        {
            EXPECT_EQ(c.kind, attribute.kind);
            EXPECT_EQ(c.value, attribute.value);
            EXPECT_EQ(c.visible, attribute.visible);
        }
        else
        {
            EXPECT_EQ(L"untouched", attribute.value);
        }
    }
}

TEST(MacroExpanderTest, ReplacesKnownMacrosOnceAndKeepsTheRest)
{
    kelhost::MacroValues values;
    values.cbid = L"CB";
    values.dtid = L"DT";
    values.guid = L"{G{random}}";
    values.localeUnderscore = L"en_US";
    int randoms = 0;
    values.random = [&randoms] { return std::to_wstring(++randoms); };
    struct Case
    {
        const wchar_t* text;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"", L""},
        {L"no macros", L"no macros"},
        {L"http://x/?cb={cbid}&trk={dtid}&l={locale.underscore}", L"http://x/?cb=CB&trk=DT&l=en_US"},
        {L"{CBID}{Dtid}", L"CBDT"},
        // A value is inserted as it is, never expanded again.
        {L"g={guid}", L"g={G{random}}"},
        {L"{unknown}{cbid}", L"{unknown}CB"},
        {L"{{cbid}}", L"{CB}"},
        {L"{cbid", L"{cbid"},
        {L"}{", L"}{"},
        {L"{}", L"{}"},
        {L"{random}-{random}", L"1-2"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(Narrow(c.text));
        randoms = 0;
        EXPECT_EQ(c.expected, kelhost::ExpandMacros(c.text, values));
    }
}

TEST(MacroExpanderTest, RandomIsDigitsOnly)
{
    const kelhost::MacroValues values;  // no generator of its own: the process's
    const std::wstring expanded = kelhost::ExpandMacros(L"{random}", values);
    ASSERT_FALSE(expanded.empty());
    EXPECT_EQ(std::wstring::npos, expanded.find_first_not_of(L"0123456789"));
}

TEST(HostSettingsTest, OverridesWinOverDefaultsAndBadLinesAreReported)
{
    kelhost::HostSettings settings;
    std::vector<std::wstring> problems;
    settings.LoadText(L"# comment\r\n"
                      L"KelTb.Str.Norvix.Update = Update now\r\n"
                      L"; another comment\n"
                      L"\n"
                      L"KelTb.Url.Norvix.API=http://127.0.0.1:1/a=b\n"
                      L"KelTb.Str.Pavise.Activated=\n"
                      L"no equals sign\n"
                      L"=no key\n"
                      L"Dup=first\n"
                      L"Dup=second",
        problems);
    EXPECT_EQ(L"Update now", settings.Lookup(L"KelTb.Str.Norvix.Update", L"Update Norvix"));
    EXPECT_EQ(L"http://127.0.0.1:1/a=b", settings.Lookup(L"KelTb.Url.Norvix.API", L"x"));
    EXPECT_EQ(L"", settings.Lookup(L"KelTb.Str.Pavise.Activated", L"Pavise Activated"));
    EXPECT_EQ(L"second", settings.Lookup(L"Dup", L""));
    EXPECT_EQ(L"45", settings.Lookup(L"KelTb.Str.Pulling.Instance.Lock.WaitTime", L"45"));
    EXPECT_EQ(L"fallback", settings.Lookup(L"kelTb.str.norvix.update", L"fallback"));
    ASSERT_EQ(2u, problems.size());
    EXPECT_EQ(L"line 7: no equals sign", problems[0]);
    EXPECT_EQ(L"line 8: =no key", problems[1]);
}

TEST(HostSettingsTest, FilesInUtf8AndUtf16AreRead)
{
    testing_support::TempFolder folder;
    struct Case
    {
        const char* name;
        std::string bytes;
    };
    const std::u16string utf16 = u"\uFEFFTitle=Gr\u00fc\u00dfe\r\n";
    const Case cases[] = {
        {"utf8", "Title=Gr\xc3\xbc\xc3\x9f" "e\n"},
        {"utf8 with mark", "\xEF\xBB\xBFTitle=Gr\xc3\xbc\xc3\x9f" "e"},
        {"utf16", std::string(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::wstring path = folder.File(L"settings.txt");
        {
            std::ofstream out(win::WideToAnsi(path), std::ios::binary | std::ios::trunc);
            out << c.bytes;
        }
        kelhost::HostSettings settings;
        std::vector<std::wstring> problems;
        ASSERT_TRUE(settings.LoadFile(path, problems));
        EXPECT_TRUE(problems.empty());
        EXPECT_EQ(L"Gr\u00fc\u00dfe", settings.Lookup(L"Title", L""));
    }
    kelhost::HostSettings settings;
    settings.Set(L"Kept", L"1");
    std::vector<std::wstring> problems;
    EXPECT_FALSE(settings.LoadFile(folder.File(L"missing.txt"), problems));
    EXPECT_EQ(L"1", settings.Lookup(L"Kept", L""));
}

TEST(EventRecordTest, RoundTripsAndRefusesMalformedRecords)
{
    const kelhost::ToolbarEvent sent{L"UpdateStatus", -5};
    std::vector<BYTE> record = kelhost::EncodeToolbarEvent(sent);
    COPYDATASTRUCT data{0x4B454C45, static_cast<DWORD>(record.size()), record.data()};
    kelhost::ToolbarEvent received;
    ASSERT_TRUE(kelhost::DecodeToolbarEvent(&data, received));
    EXPECT_EQ(sent.name, received.name);
    EXPECT_EQ(sent.number, received.number);

    struct Case
    {
        const char* what;
        std::function<void(COPYDATASTRUCT&, std::vector<BYTE>&)> spoil;
    };
    const Case cases[] = {
        {"other tag", [](COPYDATASTRUCT &d, std::vector<BYTE> &) { d.dwData = 1; }},
        {"one byte short", [](COPYDATASTRUCT &d, std::vector<BYTE> &) { --d.cbData; }},
        {"one byte long",
            [](COPYDATASTRUCT &d, std::vector<BYTE> &r) {
                r.push_back(0);
                d.lpData = r.data();
                ++d.cbData;
            }},
        {"no data", [](COPYDATASTRUCT &d, std::vector<BYTE> &) { d.lpData = nullptr; }},
        {"header cut", [](COPYDATASTRUCT &d, std::vector<BYTE> &) { d.cbData = 6; }},
        {"length lies",
            [](COPYDATASTRUCT &, std::vector<BYTE> &r) {
                r[8] = 0xFF;
                r[9] = 0xFF;
            }},
        {"control character",
            [](COPYDATASTRUCT &, std::vector<BYTE> &r) {
                r[12] = '\n';
                r[13] = 0;
            }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::vector<BYTE> copy = record;
        COPYDATASTRUCT spoiled{0x4B454C45, static_cast<DWORD>(copy.size()), copy.data()};
        c.spoil(spoiled, copy);
        kelhost::ToolbarEvent event{L"untouched", 0};
        EXPECT_FALSE(kelhost::DecodeToolbarEvent(&spoiled, event));
        EXPECT_EQ(L"untouched", event.name);
    }
    EXPECT_FALSE(kelhost::DecodeToolbarEvent(nullptr, received));
}

TEST(HostOptionsTest, ReadsOptionsAndRefusesMistakes)
{
    kelhost::HostOptions options;
    std::wstring error;
    ASSERT_TRUE(kelhost::ParseHostOptions({L"--tabs", L"3", L"--progid", L"Test.Control", L"--no-control",
                                              L"--settings", L"C:\\s.txt"},
        options, error));
    EXPECT_EQ(3, options.tabs);
    EXPECT_EQ(L"Test.Control", options.progId);
    EXPECT_TRUE(options.noControl);
    EXPECT_EQ(L"C:\\s.txt", options.settingsFile);

    const std::vector<std::vector<std::wstring>> refused = {
        {L"--tabs"}, {L"--tabs", L"33"}, {L"--tabs", L"-1"}, {L"--tabs", L"2x"}, {L"--progid"}, {L"--bogus"},
    };
    for (const auto& args : refused)
    {
        SCOPED_TRACE(Narrow(args[0] + (args.size() > 1 ? L" " + args[1] : L"")));
        kelhost::HostOptions ignored;
        error.clear();
        EXPECT_FALSE(kelhost::ParseHostOptions(args, ignored, error));
        EXPECT_FALSE(error.empty());
    }
    const kelhost::CommandLine command = kelhost::SplitCommand(L"  EVENT   Update Status  ");
    EXPECT_EQ(L"event", command.verb);
    EXPECT_EQ(L"Update Status", command.rest);
}

} // namespace
