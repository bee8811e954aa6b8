// The program's version: shown by every program's --version, packaged as
// the Debian package's version, and part of the window's title.
#pragma once

namespace deveder {

inline constexpr char kProgramVersion[] = "1.05.210518";

}  // namespace deveder
