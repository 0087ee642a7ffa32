#pragma once
#include <QString>

namespace gathra {

// The folder of the help pages (topicN.html and contents.html), with a trailing "/": "help"
// beside the program, else the source tree's data folder.
QString HelpFolder();

// Opens help topic N: in the main window's help window when the program has a main window,
// otherwise in a help window of its own (dialogs shown on their own, as in tests and tools).
void ShowHelpTopic(int topic);

} // namespace gathra
