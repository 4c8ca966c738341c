// Hostile state files: thousands of records made from valid ones by cuts, bit flips, inserted bytes and extreme
// field values, as another program or a damaged disk could leave them, go through the status file's and the
// bubble file's readers. A file is taken only when it is a record (at least the record's length, the tag, this
// system's language), and then with exactly its bytes' values; anything else loads as failure with the defaults,
// and the file is rewritten with them unless only its language differed.

#include "StorageTestSupport.h"

#include "Core/StatusConfigFile.h"
#include "bubble/XToolbarBubbleConfigFile.h"
#include "support/Trial.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{

using storage_testing::Bytes;
using storage_testing::PlainRecord;
using storage_testing::RawBytesOf;
using storage_testing::Scramble;

struct Kind
{
    const char* name;
    std::size_t length;
    std::vector<std::size_t> fieldOffsets;  // of the 4-byte numbers that extreme values replace
    std::size_t doubleOffset;  // of the 8-byte number, 0 for none
    std::unique_ptr<XStreamFile> (*make)();
    std::string (*fieldsOf)(const XStreamFile& file);  // the record's own fields as they are stored
    std::string (*valid)(std::mt19937& random);
};

const Kind kStatus = {"status file", 38, {0, 4, 14, 18, 22, 26}, 30,
    [] { return std::unique_ptr<XStreamFile>(new StatusConfigFile()); },
    [](const XStreamFile& file) {
        const StatusConfigStream& r = *static_cast<const StatusConfigFile&>(file).GetRecord();
        return Bytes(r.m_paviseStatus) + Bytes(r.m_norvixStatus) + Bytes(r.m_lastCheck.status) +
            Bytes(r.m_lastCheck.value);
    },
    [](std::mt19937& random) {
        return PlainRecord{}.Status(std::uniform_int_distribution(-2, 2)(random),
            std::uniform_int_distribution(-2, 3)(random), std::uniform_real_distribution(40000.0, 50000.0)(random));
    }};

const Kind kBubble = {"bubble file", 22, {0, 4, 14, 18}, 0,
    [] { return std::unique_ptr<XStreamFile>(new XToolbarBubbleConfigFile()); },
    [](const XStreamFile& file) {
        return Bytes(static_cast<const XToolbarBubbleConfigFile&>(file).GetRecord()->m_showFlag);
    },
    [](std::mt19937& random) {
        return PlainRecord{}.Head() + Bytes(std::uint32_t(std::uniform_int_distribution(0, 1)(random)));
    }};

// Replaces a number of the record with a value at the edge of its type, where it is long enough to hold one.
void PutExtremeValue(const Kind& kind, std::string& plain, std::mt19937& random)
{
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    const double doubles[] = {std::nan(""), -std::nan(""), std::numeric_limits<double>::signaling_NaN(), kInfinity,
        -kInfinity, std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
        std::numeric_limits<double>::denorm_min(), -0.0, -1.0, 1e300, 2958466.0};
    const std::uint32_t integers[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 3, 0xFFFFFFFE};
    std::uniform_int_distribution<std::size_t> pick(0, kind.fieldOffsets.size() + (kind.doubleOffset ? 2 : 0));
    const std::size_t field = pick(random);
    if (field >= kind.fieldOffsets.size() && kind.doubleOffset + 8 <= plain.size())
    {
        const std::string value = Bytes(doubles[random() % std::size(doubles)]);
        plain.replace(kind.doubleOffset, 8, value);
    }
    else if (field < kind.fieldOffsets.size() && kind.fieldOffsets[field] + 4 <= plain.size())
    {
        plain.replace(kind.fieldOffsets[field], 4, Bytes(integers[random() % std::size(integers)]));
    }
}

class HostileRecordTrialTest : public storage_testing::StorageFixture
{
};

TEST_F(HostileRecordTrialTest, OnlyWholeRecordsOfThisSystemAreTakenAndAsTheyAre)
{
    constexpr int kInputs = 500;  // of each file: a few seconds under Wine
    const std::uint32_t seed = testing_support::TrialSeed(20261206);
    std::mt19937 random(seed);
    std::string anyByte;
    for (int c = 0; c < 256; ++c)
    {
        anyByte += static_cast<char>(c);
    }
    const std::wstring path = m_folder.File(L"record.config");
    const std::string language = Bytes(PlainRecord{}.languageId);
    for (const Kind* kind : {&kStatus, &kBubble})
    {
        const std::string defaults =
            kind == &kStatus ? PlainRecord{}.Status() : PlainRecord{}.Head() + Bytes(std::uint32_t{1});
        for (int input = 0; input < kInputs && !HasFailure(); ++input)
        {
            std::string plain = kind->valid(random);
            for (int mutations = 1 + static_cast<int>(random() % 3); mutations > 0; --mutations)
            {
                if (random() % 4 == 0)
                {
                    PutExtremeValue(*kind, plain, random);
                }
                else
                {
                    plain = testing_support::Mutate(plain, anyByte, random);
                }
            }
            SCOPED_TRACE(testing::Message() << kind->name << ", seed " << seed << ", input " << input << ": \""
                                            << testing_support::Printable(plain) << "\"");
            ASSERT_TRUE(win::File::WriteAll(path, Scramble(plain)));
            const std::unique_ptr<XStreamFile> file = kind->make();
            file->Open(path);
            const bool loaded = file->Load(false, true);

            const bool whole = plain.size() >= kind->length && plain.compare(8, 4, "TNYT") == 0;
            const bool isRecord = whole && plain.compare(12, 2, language) == 0;
            EXPECT_EQ(isRecord, loaded);
            const std::string expected = (isRecord ? plain : defaults).substr(18, kind->length - 18);
            EXPECT_EQ(testing_support::Printable(expected), testing_support::Printable(kind->fieldsOf(*file)));
            EXPECT_EQ(Scramble(whole ? plain : defaults), RawBytesOf(path));
        }
    }
}

}  // namespace
