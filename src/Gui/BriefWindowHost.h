#pragma once
#include "Brief/WebPage.h"

namespace gathra {

class Browser;
class CommandState;
class Dialogs;
class TSkeinForm;

// What a brief window asks of the window that holds it (the main window): the main commands'
// states, the program's dialogs and browser, and the commands its pop-up menus run. A brief
// window knows nothing else of the main window.
class BriefWindowHost {
public:
    // The enabled states of the main window's commands.
    virtual CommandState& Main() = 0;
    virtual Dialogs& Dlg() = 0;
    virtual Browser& BrowserPort() = 0;
    virtual bool RunActive() const = 0;
    // The entry buffer holds a cut or copied entry.
    virtual bool BufferFull() const = 0;
    // Shows the command states on the actions and buttons.
    virtual void RefreshCommands() = 0;
    // The window becomes the current brief, the one the commands below act on.
    virtual void SetCurrentBrief(TSkeinForm* form) = 0;
    // The window closes: out of the tables and the recent list.
    virtual void RemoveBriefWindow(TSkeinForm* form) = 0;

    // The commands of the pop-up menus, on the current brief.
    virtual void AddEntry(EntryKind kind) = 0;
    virtual void DeleteEntry() = 0;
    virtual void CutEntry() = 0;
    virtual void CopyEntry() = 0;
    virtual void PasteEntry() = 0;
    virtual void ShowBrief() = 0;
    virtual void GenerateBrief() = 0;
    virtual void EntrySetup() = 0;
    virtual void BriefSetup() = 0;
    // Saves the brief of `form` under a name the user chooses; false when nothing was saved.
    virtual bool SaveBriefAs(TSkeinForm* form) = 0;

protected:
    ~BriefWindowHost() = default;
};

} // namespace gathra
