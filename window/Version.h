// The build's version text and the application title.
#pragma once

#include <string>

inline constexpr char kApplicationTitle[] = "VEKTA Sniffer";
inline constexpr char kCaptionPrefix[] = "VEKTA Sniffer v";

// The version the program was built as, for example "1.0.0.14"; empty when the
// build names none.
std::string ProgramVersion();
