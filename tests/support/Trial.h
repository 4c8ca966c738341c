#pragma once
// Randomized trials: hostile inputs made from valid ones by truncation, bit flips and inserted elements, from a
// seed that a failure prints. The seed is NORVIX_TRIAL_SEED when set (to replay a failure or to explore with
// others), else the trial's own fixed one, so the suite sees the same inputs on every run.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <type_traits>

namespace testing_support
{

inline std::uint32_t TrialSeed(std::uint32_t fallback)
{
    const char* text = std::getenv("NORVIX_TRIAL_SEED");
    return text && *text ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 0)) : fallback;
}

// One mutation of `text`: a cut, one to four flipped bits, or one to eight elements drawn from `alphabet`
// inserted at one place (the end included). Never longer than `text` plus eight.
template <typename Text>
Text Mutate(Text text, const Text& alphabet, std::mt19937& random)
{
    const auto below = [&random](std::size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    switch (below(3))
    {
    case 0: text.resize(below(text.size())); break;
    case 1:
        for (std::size_t flips = 1 + below(4); flips > 0 && !text.empty(); --flips)
        {
            auto& element = text[below(text.size())];
            element = static_cast<typename Text::value_type>(element ^ (1u << below(8 * sizeof(element))));
        }
        break;
    default:
    {
        Text inserted;
        for (std::size_t n = 1 + below(8); n > 0; --n)
        {
            inserted += alphabet[below(alphabet.size())];
        }
        text.insert(below(text.size() + 1), inserted);
        break;
    }
    }
    return text;
}

// The input as C escapes, for a failure message to replay.
template <typename Text>
std::string Printable(const Text& text)
{
    std::string out;
    for (const auto element : text)
    {
        const auto code =
            static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<typename Text::value_type>>(element));
        if (code >= 0x20 && code < 0x7F && code != '\\')
        {
            out += static_cast<char>(code);
        }
        else
        {
            char escaped[16];
            std::snprintf(escaped, sizeof escaped, sizeof(element) == 1 ? "\\x%02X" : "\\u%04X", code);
            out += escaped;
        }
    }
    return out;
}

}  // namespace testing_support
