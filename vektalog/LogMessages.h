// The parts of capture log lines that carry frames, the adapter's messages
// and the capture's settings.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vektalog {

// Ten digits of milliseconds, ": ", the message.
struct LogLine {
    uint32_t stampMs = 0;
    std::string_view message;
};
bool SplitLogLine(std::string_view line, LogLine &out);

// Leading texts of the messages this reader acts on.
constexpr std::string_view kFramePrefix = "RxD(CAN): ";
constexpr std::string_view kReceivedPrefix = "RxD: ";
constexpr std::string_view kSentPrefix = "TxD: ";
constexpr std::string_view kContinuePrefix = "Continue ";
constexpr std::string_view kOpenPrefix = "Open ";
constexpr std::string_view kInitStart = "--- Start Init Adapter ---";

constexpr size_t kMaxDataBytes = 8;

// "RxD(CAN): 000007E8: 06 41 00 " as identifier and data.
struct FrameLine {
    uint32_t id = 0;
    uint8_t length = 0;
    std::array<uint8_t, kMaxDataBytes> data{};
};
// Answers false with problem for a message that does not have that form.
bool ParseFrameLine(std::string_view message, FrameLine &frame, std::string &problem);

// The bytes of an adapter message as "TxD: " and "RxD: " lines dump them:
// type, count, payload; empty for "No Data".
constexpr size_t kMaxMessageBytes = 2 + 255;
struct MessageBytes {
    std::array<uint8_t, kMaxMessageBytes> bytes{};
    size_t size = 0;
};
// dump is the text after the prefix; answers false when it is no dump.
bool ParseHexDump(std::string_view dump, MessageBytes &message);

// "CAN29 CAN11 SPEED=500000b/s SAMP=80% SJW=15%": whether receive group 1
// uses 29-bit identifiers. Answers false for any other message.
bool ParseSettingsLine(std::string_view message, bool &group1Extended);

}  // namespace vektalog
