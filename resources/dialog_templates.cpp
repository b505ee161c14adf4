#include "resources/dialog_templates.h"

namespace {

// The main window: no controls, the whole client area is the picture.
const DialogTemplate Templates[] = {
    {MainWindowTemplate, "Tavimeter", 322, 298, DialogSizable | DialogMaximizeBox | DialogVerticalScroll | DialogInTaskBar,
     nullptr, 0},
};

} // namespace

const DialogTemplate* FindDialogTemplate(int id)
{
    for (const DialogTemplate& t : Templates)
        if (t.id == id)
            return &t;
    return nullptr;
}
