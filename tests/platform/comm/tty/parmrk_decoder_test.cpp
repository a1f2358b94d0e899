// The in-band error marks, decoded from bytes as the line discipline sends them.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/comm/tty/parmrk_decoder.h"

namespace {

using comm::DecodedInput;
using comm::ParmrkDecoder;

struct Decoded {
    std::string data;
    DWORD errors = 0;
    DWORD events = 0;
    bool operator==(const Decoded&) const = default;
};

void PrintTo(const Decoded& d, std::ostream* out) {
    *out << ::testing::PrintToString(d.data) << ", errors " << d.errors << ", events " << d.events;
}

Decoded Feed(ParmrkDecoder& decoder, const std::string& bytes) {
    std::string out(bytes.size(), '\0');
    DecodedInput input = decoder.Decode(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(),
                                        reinterpret_cast<BYTE*>(out.data()));
    out.resize(input.length);
    return {out, input.errors, input.events};
}

TEST(ParmrkDecoder, PlainDataAndDoubledFFPassAsData) {
    ParmrkDecoder decoder;
    Decoded d = Feed(decoder, std::string("a\xff\xff" "b\0c", 6));
    EXPECT_EQ(d, (Decoded{std::string("a\xff" "b\0c", 5), 0u, 0u}));
}

TEST(ParmrkDecoder, ErrorOnACharacterKeepsTheCharacter) {
    ParmrkDecoder decoder;
    Decoded frame = Feed(decoder, std::string("x\xff\0y", 4));
    EXPECT_EQ(frame, (Decoded{"xy", CE_FRAME, EV_ERR}));

    decoder.SetParityChecked(true);
    Decoded parity = Feed(decoder, std::string("\xff\0z", 3));
    EXPECT_EQ(parity, (Decoded{"z", CE_RXPARITY, EV_ERR}));
}

TEST(ParmrkDecoder, MarkOnZeroIsABreakWithoutCounts) {
    ParmrkDecoder decoder;
    Decoded d = Feed(decoder, std::string("\xff\0\0", 3));
    EXPECT_EQ(d, (Decoded{"", CE_BREAK, EV_BREAK}));
}

TEST(ParmrkDecoder, DriverCountsTellABreakFromAFramingErrorOnZero) {
    ParmrkDecoder decoder;
    decoder.AddCounts({1, 1, 0});
    Decoded d = Feed(decoder, std::string("\xff\0\0\xff\0\0", 6));
    EXPECT_EQ(d, (Decoded{std::string("\0", 1), CE_BREAK | CE_FRAME, EV_BREAK | EV_ERR}));
}

TEST(ParmrkDecoder, DriverCountsTellParityFromFraming) {
    ParmrkDecoder decoder;
    decoder.AddCounts({0, 0, 1});
    EXPECT_EQ(Feed(decoder, std::string("\xff\0q", 3)).errors, CE_RXPARITY);
    decoder.AddCounts({0, 1, 0});
    decoder.SetParityChecked(true);
    EXPECT_EQ(Feed(decoder, std::string("\xff\0q", 3)).errors, CE_FRAME);
}

TEST(ParmrkDecoder, MarksSplitAcrossReadsAreJoined) {
    ParmrkDecoder decoder;
    Decoded first = Feed(decoder, "ab\xff");
    EXPECT_EQ(first.data, "ab");
    Decoded second = Feed(decoder, std::string("\0", 1));
    EXPECT_EQ(second.data, "");
    EXPECT_EQ(second.errors, 0u);
    Decoded third = Feed(decoder, "kcd");
    EXPECT_EQ(third.data, "kcd");
    EXPECT_EQ(third.errors, CE_FRAME);

    Feed(decoder, "\xff");
    EXPECT_EQ(Feed(decoder, "\xff").data, "\xff");
}

TEST(ParmrkDecoder, ResetDropsAHalfMark) {
    ParmrkDecoder decoder;
    Feed(decoder, std::string("\xff\0", 2));
    decoder.Reset();
    Decoded d = Feed(decoder, "k");
    EXPECT_EQ(d.data, "k");
    EXPECT_EQ(d.errors, 0u);
}

}  // namespace
