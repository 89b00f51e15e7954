// Recovery at a capture thread's start: every journal in the log folder that
// no running program holds was left by one that ended without writing its
// log; its lines go into a log file named after the journal's last change.
#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Journal.h"
#include "LogFile.h"
#include "LogText.h"
#include "common/ErrorText.h"

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

// The journal's last line after a log write began: the log file of the
// journal's folder that holds its lines, and the byte they start at.
struct Seal {
    std::string logName;
    uint64_t offset = 0;
};

// A log file of the journal's own folder: a bare name, no way elsewhere.
bool IsLogName(std::string_view name)
{
    constexpr std::string_view kLogSuffix = ".log";
    constexpr size_t kMostNameBytes = 255;
    constexpr std::string_view kNotInName("/\\:\0", 4);
    return name.size() > kLogSuffix.size() && name.size() <= kMostNameBytes && name.front() != '.' &&
           name.substr(name.size() - kLogSuffix.size()) == kLogSuffix &&
           name.find_first_of(kNotInName) == std::string_view::npos;
}

bool ParseSeal(std::string_view line, Seal &seal)
{
    if (!Take(line, Journal::kSealStart))
        return false;
    const size_t from = line.rfind(Journal::kSealFrom);
    if (from == std::string_view::npos || !IsLogName(line.substr(0, from)))
        return false;
    const std::string_view digits = line.substr(from + Journal::kSealFrom.size());
    const char *end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, seal.offset);
    if (digits.empty() || error != std::errc() || stop != end)
        return false;
    seal.logName = line.substr(0, from);
    return true;
}

// Whether text, cut off anywhere, could be the start of a sealing line.
bool StartsLikeASeal(std::string_view text)
{
    const size_t n = std::min(text.size(), Journal::kSealStart.size());
    return n > 0 && text.substr(0, n) == Journal::kSealStart.substr(0, n);
}

// What a journal holds: its whole log lines up to the first thing that is
// none; a line cut off by the crash at its end is left out.
struct JournalText {
    std::string text;
    size_t linesEnd = 0;       // the whole log lines are text's first linesEnd bytes
    bool foreign = false;      // something else than log lines: the file is no plain journal
    std::optional<Seal> seal;  // the last line, when a log write began
};

// Takes one line of a journal: a log line, or the sealing line after them.
bool TakeLine(std::string_view line, size_t end, JournalText &read)
{
    if (read.seal)
        return false;  // nothing follows the seal
    if (IsLogLine(line)) {
        read.linesEnd = end;
        return true;
    }
    Seal seal;
    if (!ParseSeal(line, seal))
        return false;
    read.seal = std::move(seal);
    return true;
}

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
    size_t scanned = 0;  // where the next line starts
    while (text.size() < Journal::kMostBytes) {
        const size_t had = text.size();
        text.resize(had + kReadPieceBytes);
        size_t got = 0;
        if (const uint32_t code = journal.Read(had, text.data() + had, kReadPieceBytes, got))
            return code;
        text.resize(had + got);
        if (got == 0)
            break;
        for (size_t end = 0; (end = text.find(kLineEnd, scanned)) != std::string::npos;) {
            const std::string_view line = std::string_view(text).substr(scanned, end - scanned);
            scanned = end + kLineEnd.size();
            if (!TakeLine(line, scanned, read)) {
                read.foreign = true;
                return 0;
            }
        }
        const std::string_view rest = std::string_view(text).substr(scanned);
        if (!rest.empty() && (read.seal || !(StartsLikeALine(rest) || StartsLikeASeal(rest)))) {
            read.foreign = true;
            return 0;
        }
    }
    // A line cut off at the end is the crash's; a cut-off seal is not.
    const std::string_view cutOff = std::string_view(text).substr(scanned);
    read.foreign =
        cutOff.find('\0') != std::string_view::npos || StartsLikeASeal(cutOff) || text.size() >= Journal::kMostBytes;
    return 0;
}

// Appends text and a line saying it was recovered, then makes them durable.
uint32_t AppendRecovered(const std::string &path, std::string_view text, std::string_view stamp,
                         const BeforeAppend &beforeAppend = {})
{
    LogBuffer closing;
    closing.Add(stamp, "Capture ended unexpectedly; log lines recovered");
    std::vector<LogBuffer::Piece> pieces{{text.data(), text.size()}};
    for (const LogBuffer::Piece &piece : closing.Pieces())
        pieces.push_back(piece);
    WrittenLog written;
    if (const uint32_t code = AppendLogText(path, pieces, written, beforeAppend))
        return code;
    return written.Sync();
}

uint32_t WriteRecovered(const std::string &folder, std::string_view lines, const LocalDateTime &modified)
{
    return AppendRecovered(folder + LogFileName(modified), lines, LastStamp(lines));
}

// How much of lines a sealed journal's log file holds from the seal's byte
// on; matches is false when what is there is not those lines.
uint32_t HeldInLog(const std::string &path, uint64_t offset, std::string_view lines, size_t &held, bool &matches)
{
    matches = false;
    held = 0;
    JournalFile log;
    bool busy = false;
    if (const uint32_t code = log.Open(path, false, busy))
        return busy ? code : 0;  // a program appends to it now: try again at the next start
    uint64_t size = 0;
    if (const uint32_t code = log.Size(size))
        return code;
    if (size < offset)
        return 0;
    held = static_cast<size_t>(std::min<uint64_t>(size - offset, lines.size()));
    std::string piece;
    for (size_t at = 0; at < held; at += piece.size()) {
        piece.resize(std::min(kReadPieceBytes, held - at));
        size_t got = 0;
        if (const uint32_t code = log.Read(offset + at, piece.data(), piece.size(), got))
            return code;
        if (got != piece.size() || lines.substr(at, got) != piece)
            return 0;
    }
    matches = true;
    return 0;
}

// A sealed journal's log file that holds the start of its lines gets the
// rest; complete tells that the lines are all in it now.
uint32_t CompleteSealedLog(const std::string &folder, const Seal &seal, std::string_view lines, bool &complete)
{
    complete = false;
    const std::string path = folder + seal.logName;
    if (!IsPlainFile(path))
        return 0;  // never made, or moved away: the lines go to a log of their own
    size_t held = 0;
    bool matches = false;
    if (const uint32_t code = HeldInLog(path, seal.offset, lines, held, matches); code != 0 || !matches)
        return code;
    if (held < lines.size()) {
        const uint64_t end = seal.offset + held;
        const auto unchanged = [end](uint64_t offset) { return offset == end ? 0 : InputOutputError(); };
        if (const uint32_t code = AppendRecovered(path, lines.substr(held), LastStamp(lines), unchanged))
            return code;
    }
    complete = true;
    return 0;
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
        const uint32_t code = journal.Rename(path, path + std::string(Journal::kAsideSuffix));
        journal.Close();
        if (code != 0)
            return code;
        return lines.empty() ? 0 : WriteRecovered(folder, lines, modified);
    }
    bool complete = lines.empty();
    if (read.seal && !complete) {
        if (const uint32_t code = CompleteSealedLog(folder, *read.seal, lines, complete))
            return code;
    }
    if (!complete) {
        if (const uint32_t code = WriteRecovered(folder, lines, modified))
            return code;
    }
    return journal.RemoveAndClose(path);
}

// A journal name's process id and running number: a program's older
// journals (sealed ones) are recovered before its newer.
std::pair<uint64_t, uint64_t> JournalOrder(std::string_view name)
{
    std::pair<uint64_t, uint64_t> order{0, 0};
    name.remove_prefix(std::min(name.size(), Journal::kPrefix.size()));
    const char *end = name.data() + name.size();
    const auto [dash, error] = std::from_chars(name.data(), end, order.first);
    if (error == std::errc() && dash != end)
        static_cast<void>(std::from_chars(dash + 1, end, order.second));
    return order;
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
    std::sort(names.begin(), names.end(),
              [](const std::string &a, const std::string &b) { return JournalOrder(a) < JournalOrder(b); });
    for (const std::string &name : names) {
        if (!IsJournalName(name))
            continue;  // another program's file
        const uint32_t code = RecoverJournal(folder, name);
        if (firstError == 0)
            firstError = code;
    }
    return firstError;
}
