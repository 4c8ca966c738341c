// Hostile service answers: thousands of texts made from valid status answers by cuts, bit flips, inserted markup
// and extreme values (doctypes, deep nesting, characters XML does not allow, huge and odd codes) go through the
// API client's interpretation, as anything listening on the service's port could send them. None may be taken
// unless it is a document whose root is closed, with only XML's characters, no document type and no deeper
// nesting than the parser allows; a taken answer's codes are words of the text, and a refused one changes no code.

#include "net/APIDispatcher.h"
#include "support/FailureReports.h"
#include "support/FakeHostStrings.h"
#include "support/Trial.h"
#include "win/Scope.h"
#include "win/Strings.h"

#include <gtest/gtest.h>

#include <array>

namespace
{

const std::array<const wchar_t*, 7> kNorvixCodes = {L"green", L"yellow", L"red", L"GREEN", L"Yellow", L"", L"blue"};
const std::array<const wchar_t*, 5> kPaviseCodes = {L"enabled", L"disabled", L"Enabled", L"", L"off"};
const std::wstring kDeep = [] {
    std::wstring deep;
    for (int i = 0; i < net::XXMLParser::kMaxDepth; ++i)
    {
        deep = L"<n>" + deep + L"</n>";
    }
    return deep;
}();
// Each makes an answer one that must be refused, while it stays in the element content as it is.
const std::array<std::wstring, 6> kRefused = {
    L"<!DOCTYPE response>", L"<!doctype r [<!ENTITY e \"green\">]>", L"&#0;", L"&#xFFFE;", L"&#xD800;", kDeep};
const std::array<std::wstring, 9> kOddCodes = {L"NaN", L"1e309", L"-2147483649", L"inf", std::wstring(20000, L'x'),
    L" green ", L"green\x00A0", L"&lt;green&gt;", L"<![CDATA[red]]>"};

// A status answer as the service gives it; `named` tells whether it names a code at all.
std::wstring ValidAnswer(std::mt19937& random, bool& named)
{
    const std::wstring norvix = kNorvixCodes[random() % kNorvixCodes.size()];
    const std::wstring pavise = kPaviseCodes[random() % kPaviseCodes.size()];
    named = !norvix.empty() || !pavise.empty();
    std::wstring children = L"<vdf_status>" + norvix + L"</vdf_status>";
    const std::wstring other = L"<pavise_status>" + pavise + L"</pavise_status>";
    children = random() % 2 ? children + other : other + L"<!-- order -->" + children;
    std::wstring answer = L"<response id=\"1\">" + children + L"</response>";
    if (random() % 3 == 0)
    {
        answer = L"<answers>" + answer + L"<response/></answers>";
    }
    return (random() % 2 ? L"<?xml version=\"1.0\"?>\r\n" : L"") + answer + L"\r\n";
}

bool ContainsNoCase(const std::wstring& text, const std::wstring& word)
{
    return win::ToLower(text).find(win::ToLower(word)) != std::wstring::npos;
}

// MSXML versions differ: some stop reading at a character XML does not allow and take what came before as the
// whole document. The parser refuses such a text itself.
TEST(AnswerTrialTest, ACharacterXmlDoesNotAllowRefusesTheWholeAnswer)
{
    const win::ComInit com;
    const testing_support::ExpectFailureReports refused{"refused before parsing"};
    const std::wstring head = L"<response><vdf_status>gr";
    const std::wstring tail = L"een</vdf_status></response>";
    const std::pair<std::wstring, BOOL> cases[] = {
        {head + tail + std::wstring(1, L'\0') + L"<junk", FALSE},
        {head + tail + L"\xD800", FALSE},
        {head + L"\xD800\xD800\xDC00" + tail, FALSE},
        {head + L"\xFFFF\x000B" + tail, FALSE},
        {L"\t\r\n" + head + L"\xD83D\xDE00" + tail, TRUE},
    };
    for (const auto& [text, loads] : cases)
    {
        SCOPED_TRACE(testing_support::Printable(text));
        net::XXMLParser parser;
        EXPECT_EQ(loads, parser.Load(text));
    }
}

TEST(AnswerTrialTest, OnlyWellFormedAnswersAreTakenAndOnlyWithCodesTheyName)
{
    constexpr int kInputs = 4000;
    const win::ComInit com;  // held, so the parser's own initialisation of each answer costs nothing
    const std::uint32_t seed = testing_support::TrialSeed(20261206);
    std::mt19937 random(seed);
    const std::wstring alphabet(L"<>/&\"'!?-[]=; \t\r\nxa\x00A0\x0085\x001B\x007F\xFFFE\xFFFF\xD800\xDC00\0", 28);
    // Every refusal and every unknown code is told; which of them come depends on the inputs.
    const testing_support::ExpectFailureReports told{"?refused before parsing", "?not XML", "?no text",
        "?holds a status element", "?a code this add-on does not know"};
    testing_support::FakeHostStrings host;
    net::APIDispatcher api;
    api.Initialize(&host);
    int taken = 0;
    for (int input = 0; input < kInputs && !testing::Test::HasFailure(); ++input)
    {
        bool named = false;
        std::wstring text = ValidAnswer(random, named);
        const bool mutate = input % 10 != 0;  // every tenth answer goes in whole
        for (int mutations = mutate ? 1 + static_cast<int>(random() % 3) : 0; mutations > 0; --mutations)
        {
            switch (random() % 6)
            {
            case 0:
            case 1:
            {
                // Into element content, where markup counts (in a comment it would be text); a document type before
                // the root element, its one proper place.
                const std::wstring& piece =
                    random() % 2 ? kRefused[random() % kRefused.size()] : kOddCodes[random() % kOddCodes.size()];
                const bool declaration = win::ToLower(piece).starts_with(L"<!doctype");
                const std::size_t found =
                    declaration ? std::min(text.find(L"<response"), text.find(L"<answers")) : text.find(L"_status>");
                if (found != std::wstring::npos)
                {
                    text.insert(declaration ? found : found + 8, piece);
                }
                break;
            }
            default: text = testing_support::Mutate(text, alphabet, random); break;
            }
        }
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", input " << input << ": \""
                                        << testing_support::Printable(text) << "\"");
        api.SetStatuses(net::PaviseStatus::Error, net::NorvixStatus::Updating);
        const BOOL result = api.ParseAnswer(L"GetStatus", text);
        taken += result ? 1 : 0;
        const net::NorvixStatus norvix = api.GetNorvixStatus();
        const net::PaviseStatus pavise = api.GetPaviseStatus();
        if (!result)
        {
            EXPECT_TRUE(mutate || !named) << "a valid answer was refused";
            EXPECT_EQ(net::NorvixStatus::Updating, norvix);
            EXPECT_EQ(net::PaviseStatus::Error, pavise);
            continue;
        }
        EXPECT_NE(std::wstring::npos, text.find(L"</response")) << "taken without its closing tag";
        EXPECT_FALSE(net::XXMLParser::HoldsCharacterOutsideXml(text)) << "taken with a character XML does not allow";
        for (const std::wstring& refused : kRefused)
        {
            EXPECT_EQ(std::wstring::npos, text.find(refused))
                << "taken with " << win::WideToAnsi(refused.substr(0, 20), CP_UTF8);
        }
        const std::pair<bool, const wchar_t*> codes[] = {
            {norvix == net::NorvixStatus::Uptodate, L"green"},
            {norvix == net::NorvixStatus::Update, ContainsNoCase(text, L"yellow") ? L"yellow" : L"red"},
            {pavise == net::PaviseStatus::Activated, L"enabled"},
            {pavise == net::PaviseStatus::Deactivated, L"disabled"},
        };
        for (const auto& [shown, word] : codes)
        {
            EXPECT_TRUE(!shown || ContainsNoCase(text, word)) << "a code the text does not name";
        }
    }
    EXPECT_TRUE(testing::Test::HasFailure() || taken > kInputs / 10)
        << "only " << taken << " answers taken: too few to tell anything";
}

}  // namespace
