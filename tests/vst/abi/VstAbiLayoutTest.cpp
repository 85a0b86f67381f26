// Run-time side of the layout check: every field of the records a host shares with us is
// located through a real object, and the record's bytes must be exactly the published
// fields plus the padding that natural alignment leaves.
#include "VstAbiPublished.h"
#include "vst/VstAbi.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using orvex_abi::published;

struct FieldRow {
    std::string name;      // field name, for failure messages
    std::size_t expected;  // published offset on this target
    std::size_t offset;    // where the field really is in the object
    std::size_t size;      // bytes the field occupies
};

// Offset of a field measured on a live object rather than through offsetof.
template <typename Record, typename Field>
std::size_t measuredOffset(const Record& record, const Field& field)
{
    return static_cast<std::size_t>(reinterpret_cast<const unsigned char*>(&field) -
                                    reinterpret_cast<const unsigned char*>(&record));
}

#define ORVEX_ROW(field, on32, on64) \
    rows.push_back({#field, published(on32, on64), measuredOffset(r, r.field), sizeof(r.field)});

template <typename Record>
void expectLayout(const std::vector<FieldRow>& rows, std::size_t publishedSize)
{
    EXPECT_EQ(sizeof(Record), publishedSize);
    std::vector<int> owner(sizeof(Record), -1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const FieldRow& row = rows[i];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.offset, row.expected);
        ASSERT_LE(row.offset + row.size, sizeof(Record));
        for (std::size_t b = row.offset; b < row.offset + row.size; ++b) {
            EXPECT_EQ(owner[b], -1) << "byte " << b << " also belongs to " << rows[owner[b]].name;
            owner[b] = static_cast<int>(i);
        }
    }
    // Bytes that belong to no field are padding, which natural alignment keeps shorter than a
    // pointer; a longer run means a field is missing from the declarations.
    std::size_t unowned = 0;
    for (std::size_t b = 0; b < sizeof(Record); ++b) {
        unowned = owner[b] == -1 ? unowned + 1 : 0;
        EXPECT_LT(unowned, sizeof(void*)) << "unexplained bytes ending at " << b;
    }
}

TEST(VstAbiLayout, AEffectFieldsSitAtTheirPublishedOffsets)
{
    vst::AEffect r{};
    std::vector<FieldRow> rows;
    ORVEX_AEFFECT_FIELDS(ORVEX_ROW)
    expectLayout<vst::AEffect>(rows, published(ORVEX_AEFFECT_SIZE));
}

TEST(VstAbiLayout, SmallRecordsMatchThePublishedLayout)
{
    {
        SCOPED_TRACE("VstKeyCode");
        vst::VstKeyCode r{};
        std::vector<FieldRow> rows;
        ORVEX_VSTKEYCODE_FIELDS(ORVEX_ROW)
        expectLayout<vst::VstKeyCode>(rows, published(ORVEX_VSTKEYCODE_SIZE));
    }
    {
        SCOPED_TRACE("ERect");
        vst::ERect r{};
        std::vector<FieldRow> rows;
        ORVEX_ERECT_FIELDS(ORVEX_ROW)
        expectLayout<vst::ERect>(rows, published(ORVEX_ERECT_SIZE));
    }
}

TEST(VstAbiLayout, FileSelectorRecordsMatchThePublishedLayout)
{
    {
        SCOPED_TRACE("VstFileType");
        vst::VstFileType r{};
        std::vector<FieldRow> rows;
        ORVEX_VSTFILETYPE_FIELDS(ORVEX_ROW)
        expectLayout<vst::VstFileType>(rows, published(ORVEX_VSTFILETYPE_SIZE));
    }
    {
        SCOPED_TRACE("VstFileSelect");
        vst::VstFileSelect r{};
        std::vector<FieldRow> rows;
        ORVEX_VSTFILESELECT_FIELDS(ORVEX_ROW)
        expectLayout<vst::VstFileSelect>(rows, published(ORVEX_VSTFILESELECT_SIZE));
    }
}

// Hosts compare the magic and the unique ID as 32-bit integers read from memory, so the
// four-character codes must put the first character in the most significant byte.
TEST(VstAbiLayout, FourCharacterCodesPutTheFirstCharacterInTheTopByte)
{
    EXPECT_EQ(vst::kEffectMagic, 0x56737450);
    EXPECT_EQ(vst::fourCC('O', 'V', 'X', '2'), 0x4F565832);
    EXPECT_EQ(vst::fourCC('\xff', '\x80', '\x01', '\0'), static_cast<vst::Int32>(0xFF800100u));

    vst::AEffect effect{};
    effect.magic = vst::kEffectMagic;
    unsigned char bytes[4];
    std::memcpy(bytes, reinterpret_cast<const unsigned char*>(&effect), sizeof bytes);
    const unsigned char littleEndian[4] = {'P', 't', 's', 'V'};
    EXPECT_EQ(std::memcmp(bytes, littleEndian, sizeof bytes), 0);
}

} // namespace
