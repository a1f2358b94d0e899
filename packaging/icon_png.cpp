#include "icon_png.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// Palette index of a pixel character, -1 for transparent, -2 for anything else.
int PaletteIndex(char c) {
    if (c == '.') return -1;
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -2;
}

void PutBigEndian32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::uint32_t Crc32(const std::string& bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(const std::string& bytes) {
    std::uint32_t a = 1, b = 0;
    for (unsigned char byte : bytes) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

// A zlib stream of stored (uncompressed) deflate blocks: an icon is a few kilobytes.
std::string StoredZlib(const std::string& data) {
    constexpr std::size_t MAX_BLOCK = 65535;
    std::string out = "\x78\x01";
    std::size_t done = 0;
    do {
        const std::size_t length = std::min(MAX_BLOCK, data.size() - done);
        const bool last = done + length == data.size();
        out.push_back(last ? 1 : 0);
        const auto len = static_cast<std::uint16_t>(length);
        const auto nlen = static_cast<std::uint16_t>(~len);
        out.push_back(static_cast<char>(len & 0xFF));
        out.push_back(static_cast<char>(len >> 8));
        out.push_back(static_cast<char>(nlen & 0xFF));
        out.push_back(static_cast<char>(nlen >> 8));
        out.append(data, done, length);
        done += length;
    } while (done < data.size());
    PutBigEndian32(out, Adler32(data));
    return out;
}

void PutChunk(std::string& png, const char* type, const std::string& data) {
    PutBigEndian32(png, static_cast<std::uint32_t>(data.size()));
    const std::string typed = type + data;
    png += typed;
    PutBigEndian32(png, Crc32(typed));
}

}  // namespace

std::optional<std::vector<std::uint8_t>> IconRgba(const IconResource& icon, int size) {
    for (const IconImage& image : icon.images) {
        if (image.width != size || image.height != size) continue;
        if (static_cast<int>(image.rows.size()) != size) return std::nullopt;
        std::vector<std::uint8_t> rgba;
        rgba.reserve(static_cast<std::size_t>(size) * size * 4);
        for (const char* row : image.rows) {
            if (std::strlen(row) != static_cast<std::size_t>(size)) return std::nullopt;
            for (const char* c = row; *c != '\0'; ++c) {
                const int index = PaletteIndex(*c);
                if (index == -2 || index >= static_cast<int>(icon.palette.size())) return std::nullopt;
                const DWORD rgb = index < 0 ? 0 : icon.palette[static_cast<std::size_t>(index)];
                rgba.insert(rgba.end(), {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                                         static_cast<std::uint8_t>(rgb), static_cast<std::uint8_t>(index < 0 ? 0 : 255)});
            }
        }
        return rgba;
    }
    return std::nullopt;
}

std::string EncodePng(int width, int height, const std::vector<std::uint8_t>& rgba) {
    std::string header;
    PutBigEndian32(header, static_cast<std::uint32_t>(width));
    PutBigEndian32(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, filter 0, no interlace

    // Every row starts with filter type 0 (none).
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    std::string scanlines;
    for (int y = 0; y < height; ++y) {
        scanlines.push_back('\0');
        scanlines.append(reinterpret_cast<const char*>(rgba.data()) + y * stride, stride);
    }

    std::string png = "\x89PNG\r\n\x1a\n";
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", StoredZlib(scanlines));
    PutChunk(png, "IEND", "");
    return png;
}
