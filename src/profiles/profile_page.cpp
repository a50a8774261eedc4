#include "profiles/profile_page.h"

#include <string>

#include "profiles/priority_images.h"

namespace profiles {

namespace {

constexpr int kFirstTop = 81;    // the lists of the top line
constexpr int kLineStep = 36;
constexpr int kListHeight = 24;
constexpr int kButtonSize = 32;
constexpr int kIoImages = 4;     // the I/O pictures follow the four CPU pictures
constexpr int kLevels = 4;

constexpr const char* kCpuHints[kLevels] = {"Use idle CPU priority", "Use low CPU priority", "Use default CPU priority",
                                            "Use high CPU priority"};
constexpr const char* kIoHints[kLevels] = {"Use idle I/O priority", "Use low I/O priority", "Use default I/O priority",
                                           "Use high I/O priority"};
constexpr char kEvenHint[] =
    "Check this for using only even core numbers, you still need to select a start core to make this work!";

struct Text {
    const char* name;
    int left, top, width;
    const char* caption;
};
constexpr Text kTexts[] = {
    {"LabelExplanation", 3, 8, 528,
     "First, on the left, select the windows class that belongs to the program you want to use."},
    {"LabelExplanation1", 536, 8, 756,
     "Next, on the right, select the power scheme this program needs to use, or select 'Remove' to cancel this entry."},
    {"LabelExplanation2", 3, 32, 1289,
     "Optional you can also enforce the range of cores to use for this program (start-end number). The last checkbox "
     "is for using only even core numbers to avoid hyper/multi treating cores."},
    {"LabelExplanation3", 3, 56, 1289,
     "The last icons specify the CPU and I/O (network && harddisk) scheduling priorities. A both Red&&Green arrow "
     "means the default priority will be used."},
};

}  // namespace

ProfilePage::ProfilePage(ProfileTable& profiles, engine::ProcessPrimitives& primitives, platform::Windows& windows,
                         SchemeChoices& schemes)
    : ImageList1(priorityImages()),
      profiles_(profiles),
      primitives_(primitives),
      schemes_(schemes),
      listing_(windows, primitives) {}

void ProfilePage::build(ui::Form& form, ui::Control& page) {
    ui::Label* labels[] = {nullptr, nullptr, nullptr, nullptr};
    for (std::size_t i = 0; i < std::size(kTexts); ++i) {
        const Text& t = kTexts[i];
        labels[i] = form.add<ui::Label>(&page, t.name);
        labels[i]->setBounds(t.left, t.top, t.width, 20);
        labels[i]->setCaption(t.caption);
    }
    LabelExplanation = labels[0];
    LabelExplanation1 = labels[1];
    LabelExplanation2 = labels[2];
    LabelExplanation3 = labels[3];

    for (std::size_t slot = 0; slot < kLineOrder.size(); ++slot) {
        const int n = kLineOrder[slot];
        const int top = kFirstTop + kLineStep * static_cast<int>(slot);
        const std::string number = std::to_string(n);
        Line& l = Lines[static_cast<std::size_t>(n - 1)];
        auto list = [&](const char* name, int left, int width) {
            auto* c = form.add<ui::ComboBox>(&page, name + number);
            c->setBounds(left, top, width, kListHeight);
            return c;
        };
        l.ComboBoxClass = list("ComboBoxClass", 3, 820);
        l.ComboBoxClass->editable = true;
        l.ComboBoxClass->setText(kClassPlaceholder);
        l.ComboBoxScheme = list("ComboBoxScheme", 828, 170);
        l.ComboBoxCStart = list("ComboBoxCStart", 1003, 88);
        l.ComboBoxCEnd = list("ComboBoxCEnd", 1095, 88);
        l.CheckBox = form.add<ui::CheckBox>(&page, "CheckBox" + number);
        l.CheckBox->setBounds(1192, top + 2, 20, 20);
        l.CheckBox->setHint(kEvenHint);
        l.CPUImage = form.add<ui::ImageButton>(&page, "CPUImage" + number);
        l.IOImage = form.add<ui::ImageButton>(&page, "IOImage" + number);
        l.CPUImage->setBounds(1215, top - 5, kButtonSize, kButtonSize);
        l.IOImage->setBounds(1256, top - 5, kButtonSize, kButtonSize);
        for (ui::ImageButton* b : {l.CPUImage, l.IOImage}) b->images = &ImageList1;
        showLevel(*l.CPUImage, 2, false);
        showLevel(*l.IOImage, 2, true);
        for (ui::Control* c : std::initializer_list<ui::Control*>{l.ComboBoxCStart, l.ComboBoxCEnd, l.CheckBox,
                                                                  l.CPUImage, l.IOImage})
            c->setTag(n - 1);

        l.ComboBoxClass->onChange = [this, n] { ComboBoxClassChange(n); };
        l.ComboBoxClass->onEnter = [this, n] { ComboBoxClassEnter(n); };
        l.ComboBoxScheme->onChange = [this, n] { ComboBoxSchemeChange(n); };
        l.ComboBoxCStart->onChange = [this, c = l.ComboBoxCStart] { ComboBoxCStart1Change(*c); };
        l.ComboBoxCEnd->onChange = [this, c = l.ComboBoxCEnd] { ComboBoxCEnd1Change(*c); };
        l.CheckBox->onChange = [this, c = l.CheckBox] { CheckBox1Change(*c); };
        l.CPUImage->onClick = [this, c = l.CPUImage] { CPUImage1Click(*c); };
        l.IOImage->onClick = [this, c = l.IOImage] { IOImage1Click(*c); };
    }
}

// ---- start steps ----

void ProfilePage::FillCoreLists() {
    const std::int32_t cores = primitives_.CpuCount;
    for (Line& l : Lines) {
        for (std::int32_t k = 0; k < cores; ++k) {
            l.ComboBoxCStart->addItem("Core " + std::to_string(k));
            l.ComboBoxCEnd->addItem("till " + std::to_string(k));
        }
    }
    for (Line& l : Lines) {
        for (ui::ComboBox* c : {l.ComboBoxCStart, l.ComboBoxCEnd}) {
            c->addItem("All Cores");
            c->setItemIndex(cores);
        }
    }
}

void ProfilePage::ShowProfileRows() {
    showing_ = true;
    for (int i = 0; i < kProfileRows; ++i) {
        const ProgramProfile& r = row(i);
        Line& l = Lines[static_cast<std::size_t>(i)];
        if (r.defined()) {
            l.ComboBoxClass->setText(profiles_.className(i));
            l.ComboBoxScheme->setItemIndex(schemes_.schemeIndexOf(r.ProfileScheme));
        }
        // Every row's cores and even-core choice, defined or not: typing a class again
        // brings them back into effect, so the line shows them. A position the list
        // does not have leaves its selection as it is.
        l.ComboBoxCStart->setItemIndex(r.ProfileCoreStart);
        l.ComboBoxCEnd->setItemIndex(r.ProfileCoreEnd);
        l.CheckBox->setChecked(r.ProfileEvenCores);
    }
    showing_ = false;
}

void ProfilePage::UpdateEvenCoreBoxes() {
    for (Line& l : Lines) {
        const int p = l.ComboBoxCStart->itemIndex();
        l.CheckBox->setEnabled(p >= 0 && p < primitives_.CpuCount);
    }
}

void ProfilePage::ShowPriorityButtons() {
    for (int i = 0; i < kProfileRows; ++i) showLevel(*Lines[static_cast<std::size_t>(i)].CPUImage, row(i).ProfileCpuPriority, false);
    for (int i = 0; i < kProfileRows; ++i) showLevel(*Lines[static_cast<std::size_t>(i)].IOImage, row(i).ProfileIoPriority, true);
}

// A stored level is used as it is: a level of 4 to 7 on a CPU button shows an I/O
// picture, one of -4 to -1 on an I/O button a CPU picture; beyond the list no picture.
// Only the levels 0 to 3 have a hint.
void ProfilePage::showLevel(ui::ImageButton& button, std::int64_t level, bool io) {
    const std::int64_t image = level + (io ? kIoImages : 0);
    button.setImageIndex(image >= 0 && image < ImageList1.count() ? static_cast<int>(image) : -1);
    if (level >= 0 && level < kLevels) button.setHint((io ? kIoHints : kCpuHints)[level]);
}

// From the default the clicks run default, high, idle, low, default; a level above 3
// becomes 0, and a negative one the next higher number.
std::int32_t ProfilePage::nextLevel(std::int32_t level) const {
    const std::int64_t next = std::int64_t{level} + 1;
    return next >= kLevels ? 0 : static_cast<std::int32_t>(next);
}

// ---- handlers ----

void ProfilePage::ComboBoxClassChange(int line) {
    const int i = line - 1;
    profiles_.setClassName(i, Lines[static_cast<std::size_t>(i)].ComboBoxClass->text());
    CutAtEquals(row(i).ProfileClass);
    profiles_.MarkEdited(i);
}

void ProfilePage::ComboBoxClassEnter(int line) {
    ui::ComboBox& list = *Lines[static_cast<std::size_t>(line - 1)].ComboBoxClass;
    listing_.FillWindowClassList(list);
    list.setText(kClassPlaceholder);
}

void ProfilePage::ComboBoxSchemeChange(int line) {
    const int i = line - 1;
    Line& l = Lines[static_cast<std::size_t>(i)];
    const int p = l.ComboBoxScheme->itemIndex();
    if (p > schemes_.schemeCount()) {
        // "Remove this entry": the row becomes undefined and keeps everything else.
        l.ComboBoxClass->clear();
        l.ComboBoxClass->setText(kClassPlaceholder);
        l.ComboBoxScheme->setText(kSchemePlaceholder);
        row(i).ProfileClass[0] = '\0';
        row(i).ProfileAppliedPid = 0;
    } else if (p >= 0) {
        row(i).ProfileScheme = schemes_.schemeAt(p);  // "No prefered scheme": NO_SUBGROUP_GUID
    }
    profiles_.MarkEdited(i);
}

void ProfilePage::ComboBoxCStart1Change(ui::Control& sender) {
    const int i = sender.tag();
    row(i).ProfileCoreStart = static_cast<ui::ComboBox&>(sender).itemIndex();
    reapply(i);
    UpdateEvenCoreBoxes();
}

void ProfilePage::ComboBoxCEnd1Change(ui::Control& sender) {
    const int i = sender.tag();
    row(i).ProfileCoreEnd = static_cast<ui::ComboBox&>(sender).itemIndex();
    reapply(i);
}

void ProfilePage::CheckBox1Change(ui::Control& sender) {
    if (showing_) return;
    const int i = sender.tag();
    row(i).ProfileEvenCores = static_cast<ui::CheckBox&>(sender).checked();
    reapply(i);
}

void ProfilePage::CPUImage1Click(ui::Control& sender) { stepLevel(sender, &ProgramProfile::ProfileCpuPriority, false); }

void ProfilePage::IOImage1Click(ui::Control& sender) { stepLevel(sender, &ProgramProfile::ProfileIoPriority, true); }

void ProfilePage::stepLevel(ui::Control& sender, std::int32_t ProgramProfile::*level, bool io) {
    const int i = sender.tag();
    row(i).*level = nextLevel(row(i).*level);
    showLevel(static_cast<ui::ImageButton&>(sender), row(i).*level, io);
    reapply(i);
}

// The row's process settings go to its program again at the next match.
void ProfilePage::reapply(int i) {
    row(i).ProfileAppliedPid = 0;
    profiles_.MarkEdited(i);
}

}  // namespace profiles
