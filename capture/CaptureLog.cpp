#include <string>

#include "AdapterProtocol.h"
#include "Clock.h"
#include "Unit2.h"
#include "capture/logstore/Cp1251.h"
#include "capture/logstore/LogFile.h"
#include "capture/logstore/LogText.h"
#include "common/ErrorText.h"

uint32_t TC1::ElapsedMs()
{
    const uint32_t now = MillisecondClock();
    if (logTimeBase == 0) {
        logTimeBase = now;
        return 0;
    }
    return now - logTimeBase;  // modulo 2^32 across a wrap of the clock
}

void TC1::KeepLine(uint32_t elapsedMs, std::string_view message)
{
    char stamp[10];
    WriteStamp(stamp, elapsedMs);
    if (IsAscii(message))
        logBuffer.Add({stamp, sizeof stamp}, message);
    else
        logBuffer.Add({stamp, sizeof stamp}, Utf8ToCp1251(message));
}

void TC1::AddLogLine(std::string_view message)
{
    const uint32_t elapsed = ElapsedMs();
    if (!Control->adapterLog && !Control->canLog)
        return;
    if (logBuffer.TextBytes() >= kLogKeepBytes) {
        if (lostLines_.count++ == 0)
            lostLines_.firstMs = elapsed;
        lostLines_.lastMs = elapsed;
        Control->logLinesLost = Control->logLinesLost + 1;
        return;
    }
    KeepLine(elapsed, message);
    if (logTimeBase + elapsed - journalFedAt_ >= Journal::kPaceMs)
        FeedJournal(false);
}

std::string TC1::HexDump(const uint8_t *buffer, int first, int last)
{
    if (last < first)
        return "No Data";
    std::string text(static_cast<size_t>(last - first + 1) * 3, ' ');
    WriteHexPairs(text.data(), buffer + first - 1, static_cast<size_t>(last - first + 1));
    return text;
}

// The port, its line rate and the RTO, as the "Open" and "Continue" lines show them.
std::string TC1::PortSettingsText() const
{
    return LoadText(Control->portName) + " Baud=" + std::to_string(lineConfig.BaudRate) + std::string(kLineRateNote) +
           " RTO=" + std::to_string(Control->rto);
}

std::string TC1::SettingsLine() const
{
    auto width = [](uint32_t radr) { return (radr & kExtendedFlag) ? "29" : "11"; };
    return std::string("CAN") + width(Control->radr11) + " CAN" + width(Control->radr21) +
           " SPEED=" + std::to_string(Control->canBaud) + "b/s SAMP=" + std::to_string(Control->samp) +
           "% SJW=" + std::to_string(Control->sjw) + "%";
}

// The bound asks for a write like a cut; after a failed write, again only
// once a pause has passed, so a full disk is not hammered line by line.
bool TC1::LogWriteDue() const
{
    constexpr uint32_t kRetryPauseMs = 1000;
    return logBuffer.TextBytes() >= kLogWriteBytes &&
           (!logUnsaved_ || MillisecondClock() - logFailedAt_ >= kRetryPauseMs);
}

// Puts the line that reports lost lines where they are missing, at the end of
// the kept ones; answers whether there was one.
bool TC1::NoteLostLines()
{
    if (lostLines_.count == 0)
        return false;
    char first[10];
    char last[10];
    WriteStamp(first, lostLines_.firstMs);
    WriteStamp(last, lostLines_.lastMs);
    KeepLine(ElapsedMs(), "Lost " + std::to_string(lostLines_.count) + " log lines from " +
                              std::string(first, sizeof first) + " to " + std::string(last, sizeof last));
    return true;
}

// The lines stay for the next write; the window shows why, and the log says
// so once for each stretch of failed writes.
void TC1::KeepUnsaved(const std::string &path, uint32_t code)
{
    Control->sysError = code;
    if (!logUnsaved_)
        AddLogLine("Log file " + path + ": " + SystemErrorText(code));
    logUnsaved_ = true;
    logFailure_ = code;
    logFailedAt_ = MillisecondClock();
}

// Writing works again: the window no longer shows the failed write.
void TC1::SavedAgain()
{
    if (logUnsaved_) {
        uint32_t shown = logFailure_;
        Control->sysError.compare_exchange_strong(shown, 0);
    }
    logUnsaved_ = false;
    lostLines_ = {};
}

bool TC1::SaveLog()
{
    WrittenLog written;
    if (Control->adapterLog || Control->canLog) {
        const std::string name = LogNamePrefix + LogFileName(LocalNow());
        const std::string path = Control->logPath + name;
        const bool lossNoted = NoteLostLines();
        if (const uint32_t code = AppendLogFile(path, logBuffer, written, JournalSeal(name))) {
            JournalUnseal();
            if (lossNoted)
                logBuffer.DropLast();
            LogFromJournal(path, code);
            KeepUnsaved(path, code);
            KeepJournalled();
            Control->flags.fetch_and(static_cast<uint16_t>(~FlagWord::kCutLog));
            return false;
        }
    }
    SavedAgain();
    logBuffer.Clear();
    RestartJournal(std::move(written));
    logTimeBase = MillisecondClock();
    AddLogLine("Continue " + PortSettingsText() + " RTS=ON");
    AddLogLine(SettingsLine());
    Control->flags.fetch_and(static_cast<uint16_t>(~FlagWord::kCutLog));
    return true;
}
