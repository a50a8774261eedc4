// The program's icons hold an image for every size the shell asks for at the usual
// display scales (100, 125, 150, 200, 250 and 300 %), so that the notification icon is
// never a stretched picture, and the large icon at 200 % (64) and Explorer's large views
// (256).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

struct IconImage {
    int width, height, bitsPerPixel;  // as the directory gives them
    // As the image itself gives them: a bitmap's header (its height counts the mask
    // too), or a PNG's header (8 bits a channel, colour type 6: red, green, blue, alpha).
    bool png;
    int ownWidth, ownHeight, ownBits;
};

std::uint32_t le(const unsigned char* p, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}
std::uint32_t be32(const unsigned char* p) { return std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// The directory at the start of an .ico file: 6 bytes of header, then 16 bytes for
// each image (width and height, 0 meaning 256, the bit count at bytes 6 and 7, the
// image's length and offset at bytes 8 and 12).
std::vector<IconImage> iconImages(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<unsigned char> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<IconImage> images;
    if (b.size() < 6 || b[0] || b[1] || b[2] != 1 || b[3]) return images;
    const std::size_t count = le(&b[4], 2);
    for (std::size_t i = 0; i < count && 6 + 16 * (i + 1) <= b.size(); ++i) {
        const unsigned char* e = &b[6 + 16 * i];
        IconImage image{e[0] ? e[0] : 256, e[1] ? e[1] : 256, static_cast<int>(le(e + 6, 2)), false, 0, 0, 0};
        const std::size_t length = le(e + 8, 4), offset = le(e + 12, 4);
        if (offset + length <= b.size() && length >= 40) {
            const unsigned char* d = &b[offset];
            image.png = std::string(d + 1, d + 4) == "PNG";
            if (image.png) {
                image.ownWidth = static_cast<int>(be32(d + 16));
                image.ownHeight = static_cast<int>(be32(d + 20));
                image.ownBits = d[24] == 8 && d[25] == 6 ? 32 : 0;
            } else if (le(d, 4) == 40) {
                image.ownWidth = static_cast<int>(le(d + 4, 4));
                image.ownHeight = static_cast<int>(le(d + 8, 4)) / 2;
                image.ownBits = static_cast<int>(le(d + 14, 2));
            }
        }
        images.push_back(image);
    }
    return images;
}

TEST(Icons, EveryIconHoldsTheSizesOfTheUsualScalesInFullColour) {
    const auto dir = std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "resources" / "icons";
    for (const char* name : {"stellmark.ico", "highside.ico", "lowside.ico"}) {
        SCOPED_TRACE(name);
        std::set<int> sizes;
        for (const IconImage& i : iconImages(dir / name)) {
            SCOPED_TRACE(i.width);
            EXPECT_EQ(i.width, i.height);
            EXPECT_EQ(i.bitsPerPixel, 32);
            EXPECT_EQ(i.ownWidth, i.width);
            EXPECT_EQ(i.ownHeight, i.height);
            EXPECT_EQ(i.ownBits, 32);
            // Bitmaps where every Windows reads them; compressed only where they would be
            // large, which Windows reads since Vista.
            EXPECT_EQ(i.png, i.width >= 64);
            sizes.insert(i.width);
        }
        EXPECT_EQ(sizes, (std::set<int>{16, 20, 24, 32, 40, 48, 64, 256}));
    }
}

}  // namespace
