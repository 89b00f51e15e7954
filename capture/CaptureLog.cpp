#include <string>

#include "Clock.h"
#include "Cp1251.h"
#include "ErrorText.h"
#include "LogFile.h"
#include "LogText.h"
#include "Unit2.h"

namespace {

std::string TwoDigits(int value)
{
    const std::string text = "00" + std::to_string(value);
    return text.substr(text.size() - 2);
}

std::string LogFileName(const LocalDateTime &t)
{
    return TwoDigits(t.day) + TwoDigits(t.month) + TwoDigits(t.year) + "_" + TwoDigits(t.hour) + TwoDigits(t.minute) +
           TwoDigits(t.second) + ".log";
}

}  // namespace

void TC1::AddLogLine(std::string_view message)
{
    const uint32_t now = MillisecondClock();
    uint32_t elapsed = 0;
    if (logTimeBase != 0)
        elapsed = now - logTimeBase;  // modulo 2^32 across a wrap of the clock
    else
        logTimeBase = now;
    if (!Control->adapterLog && !Control->canLog)
        return;
    char stamp[10];
    WriteStamp(stamp, elapsed);
    if (IsAscii(message))
        logBuffer.Add({stamp, sizeof stamp}, message);
    else
        logBuffer.Add({stamp, sizeof stamp}, Utf8ToCp1251(message));
}

std::string TC1::HexDump(const uint8_t *buffer, int first, int last)
{
    if (last < first)
        return "No Data";
    std::string text(static_cast<size_t>(last - first + 1) * 3, ' ');
    WriteHexPairs(text.data(), buffer + first - 1, static_cast<size_t>(last - first + 1));
    return text;
}

std::string TC1::SettingsLine() const
{
    auto width = [](uint32_t radr) { return (radr & 0x80000000u) ? "29" : "11"; };
    return std::string("CAN") + width(Control->radr11) + " CAN" + width(Control->radr21) +
           " SPEED=" + std::to_string(Control->canBaud) + "b/s SAMP=" + std::to_string(Control->samp) +
           "% SJW=" + std::to_string(Control->sjw) + "%";
}

bool TC1::SaveLog()
{
    if (Control->adapterLog || Control->canLog) {
        const std::string path = Control->logPath + LogFileName(LocalNow());
        if (const uint32_t code = AppendLogFile(path, logBuffer)) {
            // The lines stay for the next write; the operator sees why.
            Control->sysError = code;
            AddLogLine("Log file " + path + ": " + SystemErrorText(code));
            logUnsaved_ = true;
            Control->flags.fetch_and(static_cast<uint16_t>(~FlagWord::kCutLog));
            return false;
        }
    }
    logUnsaved_ = false;
    logBuffer.Clear();
    logTimeBase = MillisecondClock();
    AddLogLine("Continue " + LoadText(Control->portName) + " Baud=" + std::to_string(lineConfig.BaudRate) +
               "(833333) RTO=" + std::to_string(Control->rto) + " RTS=ON");
    AddLogLine(SettingsLine());
    Control->flags.fetch_and(static_cast<uint16_t>(~FlagWord::kCutLog));
    return true;
}
