// Drop-down lists with a text field, image buttons and the priority pictures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "profiles/priority_images.h"
#include "ui/ui.h"

namespace {

TEST(TextList, TypingAndPickingRaiseChangeButTextsSetByCodeDoNot) {
    ui::ComboBox box("ComboBoxClass1");
    box.editable = true;
    std::vector<std::string> seen;
    box.onChange = [&] { seen.push_back("change " + box.text()); };
    box.onSelect = [&] { seen.push_back("select " + box.text()); };
    box.onEnter = [&] { seen.push_back("enter"); };

    box.setText("Select program window class");
    box.addItem("notepad = Untitled");
    box.setItemIndex(0);
    EXPECT_EQ(box.text(), "notepad = Untitled");
    box.clear();
    EXPECT_TRUE(seen.empty());

    box.userFocus();
    box.addItem("a = b");
    box.userPick(0);
    box.userType("abc");
    EXPECT_EQ(seen, (std::vector<std::string>{"enter", "change a = b", "select a = b", "change abc"}));
    EXPECT_EQ(box.itemIndex(), -1);
}

TEST(TextList, APickOnlyListGivenATextThatIsNoneOfItsItemsLosesItsSelection) {
    ui::ComboBox box("ComboBoxScheme1");
    for (const char* item : {"Balanced", "No prefered scheme", "Remove this entry"}) box.addItem(item);
    box.userType("typed");  // a pick-only list has no text field
    EXPECT_EQ(box.text(), "");
    box.setText("No prefered scheme");
    EXPECT_EQ(box.itemIndex(), 1);
    box.setText("Select power scheme");
    EXPECT_EQ(box.itemIndex(), -1);
    EXPECT_EQ(box.text(), "");
}

TEST(ImageButton, ShowsAPictureOnlyForAnIndexOfItsListAndIgnoresClicksWhileDisabled) {
    ui::ImageList list = profiles::priorityImages();
    ui::ImageButton button("CPUImage1");
    button.images = &list;
    int clicks = 0;
    button.onClick = [&] { ++clicks; };
    for (int index : {-1, 8, 1000}) {
        button.setImageIndex(index);
        EXPECT_FALSE(button.showsImage()) << index;
    }
    button.setImageIndex(7);
    EXPECT_TRUE(button.showsImage());
    button.userClick();
    button.setEnabled(false);
    button.userClick();
    EXPECT_EQ(clicks, 1);
}

// Where the arrows of one picture lie: rows holding the colour, and the widest row.
struct Arrow {
    int top = -1, bottom = -1, widestRow = -1, widest = 0;
    bool present() const { return top >= 0; }
    bool pointsUp() const { return widestRow - top < bottom - widestRow; }
};

Arrow find(const std::vector<std::uint32_t>& pixels, std::uint32_t colour) {
    Arrow a;
    for (int y = 0; y < profiles::kPriorityImageSize; ++y) {
        int width = 0;
        for (int x = 0; x < profiles::kPriorityImageSize; ++x)
            width += pixels[static_cast<size_t>(y * profiles::kPriorityImageSize + x)] == colour;
        if (!width) continue;
        if (a.top < 0) a.top = y;
        a.bottom = y;
        if (width > a.widest) a.widest = width, a.widestRow = y;
    }
    return a;
}

TEST(PriorityImages, EightPicturesOfTwoGroupsCarryTheArrowsOfTheirLevel) {
    const ui::ImageList list = profiles::priorityImages();
    ASSERT_EQ(list.count(), 8);
    ASSERT_EQ(list.width, 32);
    ASSERT_EQ(list.height, 32);
    struct Case {
        int level;
        bool up, down, bar;
    };
    const Case cases[] = {{0, false, true, true}, {1, false, true, false}, {2, true, true, false}, {3, true, false, false}};
    for (int group = 0; group < 2; ++group) {
        for (const Case& c : cases) {
            const auto& pixels = list.images[static_cast<size_t>(group * 4 + c.level)];
            ASSERT_EQ(pixels.size(), 32u * 32u);
            const Arrow up = find(pixels, profiles::kArrowUpColor);
            const Arrow down = find(pixels, profiles::kArrowDownColor);
            const Arrow bar = find(pixels, profiles::kBarColor);
            SCOPED_TRACE("image " + std::to_string(group * 4 + c.level));
            EXPECT_EQ(up.present(), c.up);
            EXPECT_EQ(down.present(), c.down);
            EXPECT_EQ(bar.present(), c.bar);
            if (up.present()) {
                EXPECT_TRUE(up.pointsUp());
            }
            if (down.present()) {
                EXPECT_FALSE(down.pointsUp());
            }
            if (up.present() && down.present()) {
                EXPECT_LT(up.bottom, down.top);  // red above green
            }
            if (bar.present()) {
                EXPECT_GT(bar.top, down.bottom);  // the arrow points onto it
            }
        }
    }
    // The two groups differ in what the arrows stand beside: the chip or the letters.
    for (int level = 0; level < 4; ++level)
        EXPECT_NE(list.images[static_cast<size_t>(level)], list.images[static_cast<size_t>(level + 4)]);
}

}  // namespace
