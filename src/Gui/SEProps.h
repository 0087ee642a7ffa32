#pragma once
#include "Gui/EntryDialog.h"

namespace gathra {

// the search entry dialog, "Yahoo! Entry Setup".
class TSEProps : public TEntryDialog {
    Q_OBJECT
public:
    TSEProps(TWebPage& entry, bool editable, Dialogs& dialogs, QWidget* parent = nullptr)
        : TEntryDialog(EntryDialogKind::Search, entry, editable, dialogs, parent) {}
};

} // namespace gathra
