// The adapter's message protocol as this program speaks it, each fact once:
// the capture thread, the window, vektalog and the bridge read it from here.
// The simulator (sim/) keeps a copy of its own on purpose, so that the tests
// have an independent party on the other end of the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// A message, both ways: one type byte, one count byte, count payload bytes.
constexpr size_t kMessageHeaderBytes = 2;
constexpr size_t kMaxPayloadBytes = 255;

// Line rates, bit/s. Both kinds run at the fixed rate; TRILOX takes its first
// command at the set-up rate.
constexpr uint32_t kAdapterLineRate = 833333;
constexpr uint32_t kTriloxSetupRate = 2000000;
// Printed after the rate in the "Open" and "Continue" lines, whatever the rate.
constexpr std::string_view kLineRateNote = "(833333)";

// Command bytes, in the order the initialisation sends them.
constexpr uint8_t kCmdTriloxSetup = 0x59;  // TRILOX only, at kTriloxSetupRate
constexpr uint8_t kCmdReset = 0x5F;
constexpr uint8_t kCmdListen = 0x52;
constexpr uint8_t kCmdSpeed = 0x55;
constexpr uint8_t kCmdFilters = 0x53;
constexpr uint8_t kCmdMode = 0x57;
constexpr uint8_t kModeByte = 0x03;
constexpr size_t kTriloxSetupBytes = 32;

// A received CAN frame: message type "p", four identifier bytes, 0 to 8 data bytes.
constexpr uint8_t kFrameMessage = 0x70;
constexpr size_t kIdentifierBytes = 4;
constexpr uint8_t kMaxDataLength = 8;
constexpr uint32_t kMaxStandardId = 0x7FF;

// Bit 31 of a group's first address, and of an identifier in the table,
// marks 29-bit identifiers; it never reaches the wire.
constexpr uint32_t kExtendedFlag = 0x80000000u;
// The 29-bit mark a TRILOX adapter sets in identifier byte 1 of a frame, and
// that a 29-bit address field carries.
constexpr uint8_t kExtendedFrameMark = 0x40;
