#pragma once
#include "Shell/AppSettings.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace gathra::startup {

// Where a window stood: its bounds and its state (0 normal, 1 minimised, 2 maximised).
struct WindowPlacement {
    int Left = 0;
    int Top = 0;
    int Width = 200;
    int Height = 150;
    int State = 0;
};

// The layout of "Open Briefs": the main window, then every open brief in window-list order.
struct OpenBriefs {
    std::optional<WindowPlacement> Main;
    struct Brief {
        std::string Path;
        std::optional<WindowPlacement> Placement; // none: default placement
    };
    std::vector<Brief> Briefs;
};

// Fills the settings (with ProgramFolder) from the settings store.
void LoadSettings(AppSettings& settings);
// The values of the "Startup" group: "First Start", "Open Briefs", "Previous Briefs".
std::string ReadStartup(const std::string& name);
void WriteStartup(const std::string& name, const std::string& value);

std::string EncodeOpenBriefs(const OpenBriefs& record);
OpenBriefs DecodeOpenBriefs(const std::string& value);
std::string EncodePreviousBriefs(const std::array<std::string, 4>& paths);
std::vector<std::string> DecodePreviousBriefs(const std::string& value);

// The folder beside the program that holds images/, Briefs/ and help/, with a trailing "/".
std::string ProgramFolder();

} // namespace gathra::startup
