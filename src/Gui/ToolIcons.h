#pragma once
#include "Desktop/CommandState.h"

#include <QIcon>
#include <QPixmap>

namespace gathra {

// The toolbar pictures, drawn at start-up: 16 x 16, in the muted colours of a classic toolbar.
QIcon ToolIcon(Command button);
// The banner of the splash window and the ad bar: the program's own name and motto.
QPixmap ProgramBanner(int width, int height);

} // namespace gathra
