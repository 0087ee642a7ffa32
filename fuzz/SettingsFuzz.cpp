// Stored settings come from a file the user (or anyone with their account) may have edited:
// every decoder of a stored form must take any bytes without fault.
#include "Platform/Registry.h"
#include "Settings/Settings.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (auto value = gathra::Registry::UnescapeValue(bytes))
        if (gathra::Registry::UnescapeValue(gathra::Registry::EscapeValue(*value)) != value)
            __builtin_trap();
    (void)gathra::DecodeOpenBriefsRecord(bytes);
    (void)gathra::DecodePreviousBriefsRecord(bytes);
    (void)gathra::UnframeStoredSecret(bytes);
    (void)gathra::ExecProgram(bytes);
    (void)gathra::BrowserFromCommandLine(bytes);
    return 0;
}
