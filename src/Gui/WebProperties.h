#pragma once
#include "Gui/EntryDialog.h"

namespace gathra {

// the web entry dialog, "Web Page Setup".
class TWebProperties : public TEntryDialog {
    Q_OBJECT
public:
    TWebProperties(TWebPage& entry, bool editable, Dialogs& dialogs, QWidget* parent = nullptr)
        : TEntryDialog(EntryDialogKind::Web, entry, editable, dialogs, parent) {}
};

} // namespace gathra
