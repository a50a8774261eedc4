#include "editor/scheme_form.h"

#include <memory>

#include "platform/text.h"
#include "ui/design.h"

namespace editor {

namespace {
#include "scheme_form.inc"
}  // namespace

TFormScheme::TFormScheme(ui::Application& application) : ui::Form(application, "FormScheme") {
    ui::loadDesign(*this, kSchemeDesign);
    dialogBorder = true;
    ComboBox1 = need<ui::ComboBox>("ComboBox1");
    EditScheme = need<ui::Edit>("EditScheme");
    ButtonOK = need<ui::Button>("ButtonOK");
    ButtonCancel = need<ui::Button>("ButtonCancel");
}

bool ExecuteSchemeDialog(ui::Application& application, const std::vector<std::string>& schemeNames,
                         std::int32_t& SourceSchemeIndex, std::u16string& NewSchemeName) {
    bool result = false;
    auto FormScheme = std::make_unique<TFormScheme>(application);
    // The results are taken and the windows released however the dialog ends.
    struct Finish {
        TFormScheme& form;
        std::int32_t& index;
        std::u16string& name;
        ~Finish() {
            index = form.ComboBox1->itemIndex();
            name = platform::utf8ToUtf16(form.EditScheme->text());
            form.releaseWindows();
        }
    } finish{*FormScheme, SourceSchemeIndex, NewSchemeName};
    for (const std::string& name : schemeNames) FormScheme->ComboBox1->addItem(name);
    FormScheme->ComboBox1->setItemIndex(0);
    if (FormScheme->showModal() == ui::ModalResult::OK) result = true;
    return result;
}

}  // namespace editor
