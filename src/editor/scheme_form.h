// The create-scheme dialog: the user picks the scheme to copy and names the copy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/ui.h"

namespace editor {

class TFormScheme : public ui::Form {
public:
    explicit TFormScheme(ui::Application& application);
    ui::ComboBox* ComboBox1;
    ui::Edit* EditScheme;
    ui::Button *ButtonOK, *ButtonCancel;
};

// Shows the dialog with the given scheme names, the first one selected. True when it
// was closed with OK. Whatever the result, SourceSchemeIndex is the chosen position
// (-1 for none) and NewSchemeName the typed name; the dialog is gone on return.
bool ExecuteSchemeDialog(ui::Application& application, const std::vector<std::string>& schemeNames,
                         std::int32_t& SourceSchemeIndex, std::u16string& NewSchemeName);

}  // namespace editor
