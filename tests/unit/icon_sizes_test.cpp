// The program's icons hold an image for every size the shell asks for at the usual
// display scales (100, 125, 150, 200, 250 and 300 %), so that the notification icon is
// never a stretched picture.
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
    int width, height, bitsPerPixel;
};

// The directory at the start of an .ico file: 6 bytes of header, then 16 bytes for
// each image (width and height, 0 meaning 256, and the bit count at bytes 6 and 7).
std::vector<IconImage> iconImages(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<unsigned char> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<IconImage> images;
    if (b.size() < 6 || b[0] || b[1] || b[2] != 1 || b[3]) return images;
    const std::size_t count = b[4] | (b[5] << 8);
    for (std::size_t i = 0; i < count && 6 + 16 * (i + 1) <= b.size(); ++i) {
        const unsigned char* e = &b[6 + 16 * i];
        images.push_back({e[0] ? e[0] : 256, e[1] ? e[1] : 256, e[6] | (e[7] << 8)});
    }
    return images;
}

TEST(Icons, EveryIconHoldsTheSizesOfTheUsualScalesInFullColour) {
    const auto dir = std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "resources" / "icons";
    for (const char* name : {"stellmark.ico", "highside.ico", "lowside.ico"}) {
        SCOPED_TRACE(name);
        std::set<int> sizes;
        for (const IconImage& i : iconImages(dir / name)) {
            EXPECT_EQ(i.width, i.height);
            EXPECT_EQ(i.bitsPerPixel, 32);
            sizes.insert(i.width);
        }
        EXPECT_EQ(sizes, (std::set<int>{16, 20, 24, 32, 40, 48}));
    }
}

}  // namespace
