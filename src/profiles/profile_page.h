// The "Power Profiles" page: 14 lines of seven controls, line N editing row N-1 of the
// program profiles. Every edit changes the row at once; the engine reads it at its next
// load check and the settings store saves it with the other settings.
#pragma once

#include <array>
#include <cstdint>

#include "engine/process_primitives.h"
#include "platform/guid.h"
#include "profiles/program_profiles.h"
#include "profiles/window_class_list.h"
#include "ui/ui.h"

namespace profiles {

inline constexpr char kClassPlaceholder[] = "Select program window class";
inline constexpr char kSchemePlaceholder[] = "Select power scheme";

class ProfilePage {
public:
    // The lines from the top of the page down.
    static constexpr std::array<int, kProfileRows> kLineOrder = {1, 2, 3, 4, 5, 6, 7, 8, 12, 11, 10, 9, 13, 14};

    // The seven controls of one line.
    struct Line {
        ui::ComboBox* ComboBoxClass = nullptr;
        ui::ComboBox* ComboBoxScheme = nullptr;
        ui::ComboBox* ComboBoxCStart = nullptr;
        ui::ComboBox* ComboBoxCEnd = nullptr;
        ui::CheckBox* CheckBox = nullptr;
        ui::ImageButton* CPUImage = nullptr;
        ui::ImageButton* IOImage = nullptr;
    };

    ProfilePage(ProfileTable& profiles, engine::ProcessPrimitives& primitives, platform::Windows& windows,
                SchemeChoices& schemes);

    // Adds the page's texts and lines to the form and binds their handlers; before the
    // form's windows are made.
    void build(ui::Form& form, ui::Control& page);

    // Start steps.
    void FillCoreLists();
    void ShowProfileRows();
    void UpdateEvenCoreBoxes();
    void ShowPriorityButtons();

    // Handlers. The class and scheme lists have one per line (line 1 .. 14); the others
    // are shared and find their row through the sender's tag.
    void ComboBoxClassChange(int line);
    void ComboBoxClassEnter(int line);
    void ComboBoxSchemeChange(int line);
    void ComboBoxCStart1Change(ui::Control& sender);
    void ComboBoxCEnd1Change(ui::Control& sender);
    void CheckBox1Change(ui::Control& sender);
    void CPUImage1Click(ui::Control& sender);
    void IOImage1Click(ui::Control& sender);

    const Line& line(int n) const { return Lines[static_cast<std::size_t>(n - 1)]; }

    std::array<Line, kProfileRows> Lines;  // line N at index N-1
    ui::ImageList ImageList1;
    ui::Label *LabelExplanation = nullptr, *LabelExplanation1 = nullptr, *LabelExplanation2 = nullptr,
              *LabelExplanation3 = nullptr;

private:
    ProgramProfile& row(int index) { return profiles_.ProgramProfiles[index]; }
    // A priority button shows the level's picture (CPU 0..3, I/O 4..7) and its hint.
    void showLevel(ui::ImageButton& button, std::int64_t level, bool io);
    std::int32_t nextLevel(std::int32_t level) const;
    // A click on a priority button: the next level, shown.
    void stepLevel(ui::Control& sender, std::int32_t ProgramProfile::*level, bool io);
    // Cores, even-core choice or priorities changed: marks the row for re-application.
    void reapply(int i);

    ProfileTable& profiles_;
    engine::ProcessPrimitives& primitives_;
    SchemeChoices& schemes_;
    WindowClassList listing_;
    // Set while the page puts values into its controls itself: ticks set so are no edit.
    bool showing_ = false;
};

}  // namespace profiles
