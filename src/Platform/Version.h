#pragma once

namespace gathra {

// The version both programs report (`--version`) and the package carries.
inline constexpr const char* ProgramVersion = "2.0";

} // namespace gathra
