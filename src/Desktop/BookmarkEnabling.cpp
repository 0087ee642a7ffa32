#include "Desktop/BookmarkEnabling.h"

namespace gathra::Enabling {

void BookmarkWindowActivate(CommandState& main) {
    using C = Command;
    for (C c :
         {C::FileClose, C::FileSaveAs, C::CreateWebEntryButton, C::CreateYahooEntryButton,
          C::GetBrowserUrlButton, C::EntryAddWeb, C::GenerateBriefsButton, C::FileGenerate,
          C::FileBriefSetup, C::ShowBriefButton, C::FileShowLastBrief, C::EntryDelete,
          C::EntrySetup, C::CutButton, C::EditCut, C::PasteButton, C::EditPaste, C::EntryMenu})
        main.Disable(c);
    main.Enable(C::CopyButton);
    main.Enable(C::EditCopy);
}

} // namespace gathra::Enabling
