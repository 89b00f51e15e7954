// Recovery at a capture thread's start: every journal in the log folder that
// no running program holds was left by one that ended without writing its
// log; its lines go into a log file named after the journal's last change.
#include <string>
#include <string_view>
#include <vector>

#include "Journal.h"
#include "LogFile.h"
#include "LogText.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr size_t kStampDigits = 10;

// The whole lines of a journal; a line cut off by the crash is left out.
std::string_view WholeLines(std::string_view text)
{
    const size_t end = text.rfind(kLineEnd);
    return end == std::string_view::npos ? std::string_view() : text.substr(0, end + kLineEnd.size());
}

// The stamp of the last line, so that the closing line follows it.
std::string_view LastStamp(std::string_view lines)
{
    const size_t start = lines.rfind(kLineEnd, lines.size() - kLineEnd.size() - 1);
    const std::string_view last = start == std::string_view::npos ? lines : lines.substr(start + kLineEnd.size());
    return last.substr(0, kStampDigits);
}

uint32_t RecoverJournal(const std::string &folder, const std::string &name)
{
    const std::string path = folder + name;
    JournalFile journal;
    bool held = false;
    if (const uint32_t code = journal.Open(path, false, held))
        return held ? 0 : code;  // a running program's own, or just recovered by another
    std::string text;
    LocalDateTime modified;
    if (const uint32_t code = journal.ReadAll(text))
        return code;
    if (const uint32_t code = journal.Modified(modified))
        return code;
    if (const std::string_view lines = WholeLines(text); !lines.empty()) {
        LogBuffer closing;
        closing.Add(LastStamp(lines), "Capture ended unexpectedly; log lines recovered");
        std::vector<LogBuffer::Piece> pieces{{lines.data(), lines.size()}};
        for (const LogBuffer::Piece &piece : closing.Pieces())
            pieces.push_back(piece);
        const std::string logFile = folder + LogFileName(modified);
        if (const uint32_t code = AppendLogText(logFile, pieces))
            return code;
        if (const uint32_t code = SyncFile(logFile))
            return code;
    }
    return journal.RemoveAndClose(path);
}

}  // namespace

uint32_t RecoverJournals(const std::string &folder)
{
    std::vector<std::string> names;
    uint32_t firstError = FilesEndingIn(folder, Journal::kSuffix, names);
    for (const std::string &name : names) {
        const uint32_t code = RecoverJournal(folder, name);
        if (firstError == 0)
            firstError = code;
    }
    return firstError;
}
