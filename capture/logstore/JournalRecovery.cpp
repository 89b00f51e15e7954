// Recovery at a capture thread's start: every journal in the log folder that
// no running program holds was left by one that ended without writing its
// log; its lines go into a log file named after the journal's last change.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "Journal.h"
#include "LogFile.h"
#include "LogText.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr size_t kStampDigits = 10;
constexpr std::string_view kStampSeparator = ": ";
constexpr size_t kReadPieceBytes = size_t{1} << 20;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsUpperHexDigit(char c)
{
    return IsDigit(c) || (c >= 'A' && c <= 'F');
}

// Takes a run of at least one digit from the front of text.
bool TakeDigits(std::string_view &text)
{
    size_t n = 0;
    while (n < text.size() && IsDigit(text[n]))
        ++n;
    if (n == 0)
        return false;
    text.remove_prefix(n);
    return true;
}

bool Take(std::string_view &text, std::string_view part)
{
    if (text.substr(0, part.size()) != part)
        return false;
    text.remove_prefix(part.size());
    return true;
}

// Whether text, cut off anywhere, could be the start of a log line: stamp
// digits, then the separator.
bool StartsLikeALine(std::string_view text)
{
    const std::string_view head = text.substr(0, kStampDigits + kStampSeparator.size());
    for (size_t i = 0; i < head.size(); ++i) {
        const bool fits = i < kStampDigits ? IsDigit(head[i]) : head[i] == kStampSeparator[i - kStampDigits];
        if (!fits)
            return false;
    }
    return true;
}

// A log line without its line end: stamp, separator, a message without NULs.
bool IsLogLine(std::string_view line)
{
    return line.size() >= kStampDigits + kStampSeparator.size() && StartsLikeALine(line) &&
           line.find('\0') == std::string_view::npos;
}

// The stamp of the last line, so that the closing line follows it.
std::string_view LastStamp(std::string_view lines)
{
    const size_t start = lines.rfind(kLineEnd, lines.size() - kLineEnd.size() - 1);
    const std::string_view last = start == std::string_view::npos ? lines : lines.substr(start + kLineEnd.size());
    return last.substr(0, kStampDigits);
}

// What a journal holds: its whole log lines up to the first thing that is
// none; a line cut off by the crash at its end is left out.
struct JournalText {
    std::string text;
    size_t linesEnd = 0;   // the whole log lines are text's first linesEnd bytes
    bool foreign = false;  // something else than log lines: the file is no plain journal
};

// Reads in pieces, so that a file that is not a journal costs one piece.
uint32_t ReadJournal(JournalFile &journal, JournalText &read)
{
    uint64_t size = 0;
    if (const uint32_t code = journal.Size(size))
        return code;
    if (size > Journal::kMostBytes) {
        read.foreign = true;
        return 0;
    }
    std::string &text = read.text;
    while (text.size() < Journal::kMostBytes) {
        const size_t had = text.size();
        text.resize(had + kReadPieceBytes);
        size_t got = 0;
        if (const uint32_t code = journal.Read(had, text.data() + had, kReadPieceBytes, got))
            return code;
        text.resize(had + got);
        if (got == 0)
            break;
        for (size_t end = 0; (end = text.find(kLineEnd, read.linesEnd)) != std::string::npos;) {
            if (!IsLogLine(std::string_view(text).substr(read.linesEnd, end - read.linesEnd))) {
                read.foreign = true;
                return 0;
            }
            read.linesEnd = end + kLineEnd.size();
        }
        if (!StartsLikeALine(std::string_view(text).substr(read.linesEnd))) {
            read.foreign = true;
            return 0;
        }
    }
    const std::string_view cutOff = std::string_view(text).substr(read.linesEnd);
    read.foreign = cutOff.find('\0') != std::string_view::npos || text.size() >= Journal::kMostBytes;
    return 0;
}

uint32_t WriteRecovered(const std::string &folder, std::string_view lines, const LocalDateTime &modified)
{
    LogBuffer closing;
    closing.Add(LastStamp(lines), "Capture ended unexpectedly; log lines recovered");
    std::vector<LogBuffer::Piece> pieces{{lines.data(), lines.size()}};
    for (const LogBuffer::Piece &piece : closing.Pieces())
        pieces.push_back(piece);
    WrittenLog written;
    if (const uint32_t code = AppendLogText(folder + LogFileName(modified), pieces, written))
        return code;
    return written.Sync();
}

uint32_t RecoverJournal(const std::string &folder, const std::string &name)
{
    const std::string path = folder + name;
    if (!IsPlainFile(path))
        return 0;  // a link, a FIFO, a device: never one we made
    JournalFile journal;
    bool held = false;
    if (const uint32_t code = journal.Open(path, false, held))
        return held ? 0 : code;  // a running program's own, or just recovered by another
    JournalText read;
    LocalDateTime modified;
    if (const uint32_t code = ReadJournal(journal, read))
        return code;
    if (const uint32_t code = journal.Modified(modified))
        return code;
    const std::string_view lines = std::string_view(read.text).substr(0, read.linesEnd);
    if (read.foreign) {
        // Aside first: its lines are then never written twice, and stay in
        // it should their log fail.
        if (const uint32_t code = journal.SetAsideAndClose(path, Journal::kAsideSuffix))
            return code;
        return lines.empty() ? 0 : WriteRecovered(folder, lines, modified);
    }
    if (!lines.empty()) {
        if (const uint32_t code = WriteRecovered(folder, lines, modified))
            return code;
    }
    return journal.RemoveAndClose(path);
}

}  // namespace

bool IsJournalName(std::string_view name)
{
    if (!Take(name, Journal::kPrefix) || !TakeDigits(name) || !Take(name, "-") || !TakeDigits(name))
        return false;
    if (Take(name, "-")) {
        constexpr size_t kRandomDigits = 2 * Journal::kRandomBytes;
        if (name.size() < kRandomDigits || !std::all_of(name.begin(), name.begin() + kRandomDigits, IsUpperHexDigit))
            return false;
        name.remove_prefix(kRandomDigits);
    }
    return name == Journal::kSuffix;
}

uint32_t RecoverJournals(const std::string &folder)
{
    std::vector<std::string> names;
    uint32_t firstError = FilesEndingIn(folder, Journal::kSuffix, names);
    for (const std::string &name : names) {
        if (!IsJournalName(name))
            continue;  // another program's file
        const uint32_t code = RecoverJournal(folder, name);
        if (firstError == 0)
            firstError = code;
    }
    return firstError;
}
