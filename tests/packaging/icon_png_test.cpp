// The installed icons are decoded with zlib, independently of the writer: chunk
// CRCs, the zlib stream with its checksum, and every pixel against the resource.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "icon_png.h"
#include "ui/resource.h"

namespace {

struct DecodedPng {
    std::uint32_t width = 0, height = 0;
    std::string header;                // IHDR body
    std::vector<std::uint8_t> pixels;  // RGBA without the filter bytes
};

std::uint32_t BigEndian32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

// Fails the calling test on any structural fault.
void Decode(const std::string& png, DecodedPng& out) {
    ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    std::string idat;
    std::vector<std::string> order;
    for (std::size_t at = 8; at < png.size();) {
        const std::uint32_t length = BigEndian32(png, at);
        const std::string typed = png.substr(at + 4, 4 + length);
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size())));
        ASSERT_EQ(BigEndian32(png, at + 8 + length), crc) << "chunk " << typed.substr(0, 4);
        order.push_back(typed.substr(0, 4));
        if (order.back() == "IHDR") out.header = typed.substr(4);
        if (order.back() == "IDAT") idat += typed.substr(4);
        at += 12 + length;
    }
    ASSERT_EQ(order, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    ASSERT_EQ(out.header.size(), 13u);
    out.width = BigEndian32(out.header, 0);
    out.height = BigEndian32(out.header, 4);

    const std::size_t stride = out.width * 4 + 1;
    std::vector<Bytef> raw(stride * out.height + 1);  // one spare byte shows a stream that is too long
    uLongf rawLength = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &rawLength, reinterpret_cast<const Bytef*>(idat.data()), idat.size()), Z_OK);
    ASSERT_EQ(rawLength, stride * out.height);
    for (std::uint32_t y = 0; y < out.height; ++y) {
        ASSERT_EQ(raw[y * stride], 0) << "filter byte of row " << y;
        out.pixels.insert(out.pixels.end(), raw.begin() + y * stride + 1, raw.begin() + (y + 1) * stride);
    }
}

// The RGBA a pixel character stands for, read straight from the resource.
std::vector<std::uint8_t> Expected(const IconResource& icon, char c) {
    if (c == '.') return {0, 0, 0, 0};
    const int index = c <= '9' ? c - '0' : c - 'A' + 10;
    const DWORD rgb = icon.palette.at(index);
    return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>((rgb >> 8) & 0xFF),
            static_cast<std::uint8_t>(rgb & 0xFF), 255};
}

TEST(IconPng, BothImagesOfTheProgramIconDecodeToTheResourcePixels) {
    const IconResource* icon = AfxFindIcon(IDR_MAINFRAME);
    ASSERT_NE(icon, nullptr);
    for (int size : {32, 16}) {
        SCOPED_TRACE(size);
        const auto rgba = IconRgba(*icon, size);
        ASSERT_TRUE(rgba.has_value());
        DecodedPng png;
        Decode(EncodePng(size, size, *rgba), png);
        if (HasFatalFailure()) return;
        EXPECT_EQ(png.width, static_cast<std::uint32_t>(size));
        EXPECT_EQ(png.height, static_cast<std::uint32_t>(size));
        EXPECT_EQ(png.header.substr(8), std::string("\x08\x06\x00\x00\x00", 5));

        const IconImage* image = nullptr;
        for (const IconImage& candidate : icon->images)
            if (candidate.width == size) image = &candidate;
        ASSERT_NE(image, nullptr);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const std::size_t at = (static_cast<std::size_t>(y) * size + x) * 4;
                const std::vector<std::uint8_t> pixel(png.pixels.begin() + at, png.pixels.begin() + at + 4);
                ASSERT_EQ(pixel, Expected(*icon, image->rows[y][x])) << "pixel " << x << "," << y;
            }
    }
}

TEST(IconPng, ImagesLargerThanOneStoredBlockStillInflateWhole) {
    // 160 x 160 RGBA is more than 100 KB of scanlines: two stored blocks and a partial third.
    const int size = 160;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(size) * size * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    DecodedPng png;
    Decode(EncodePng(size, size, rgba), png);
    if (HasFatalFailure()) return;
    EXPECT_EQ(png.pixels, rgba);
}

TEST(IconPng, MalformedOrMissingImagesAreRefused) {
    const std::vector<DWORD> palette(16, 0x123456);
    auto icon = [&](std::vector<const char*> rows) { return IconResource{1, palette, {{2, 2, std::move(rows)}}}; };
    EXPECT_TRUE(IconRgba(icon({"0F", ".A"}), 2).has_value());
    EXPECT_FALSE(IconRgba(icon({"0F", ".A"}), 4).has_value()) << "no image of that size";
    EXPECT_FALSE(IconRgba(icon({"0F"}), 2).has_value()) << "a row missing";
    EXPECT_FALSE(IconRgba(icon({"0F", "."}), 2).has_value()) << "a short row";
    EXPECT_FALSE(IconRgba(icon({"0F", ".AB"}), 2).has_value()) << "a long row";
    EXPECT_FALSE(IconRgba(icon({"0G", ".A"}), 2).has_value()) << "not a palette character";
    EXPECT_FALSE(IconRgba(IconResource{1, {0, 0}, {{2, 2, {"01", "02"}}}}, 2).has_value()) << "index past the palette";
}

}  // namespace
