#include "RunReader.h"

#include "FrameWidth.h"
#include "LogLines.h"
#include "LogName.h"
#include "capture/AdapterProtocol.h"
#include "capture/logstore/LogText.h"

namespace vektalog {

namespace {

std::string Stamp(uint32_t ms)
{
    char digits[10];
    WriteStamp(digits, ms);
    return {digits, sizeof digits};
}

class RunReader {
public:
    // With expected (an earlier reading's shape) only as much is read as then.
    RunReader(const std::vector<std::string> &files, const RunShape *expected, const FrameSink *sink)
        : files_(files), expected_(expected), sink_(sink)
    {
    }

    std::optional<Problem> Read()
    {
        for (file_ = 0; file_ < files_.size(); ++file_)
            if (auto problem = ReadFile())
                return problem;
        return std::nullopt;
    }

    const RunShape &Shape() const { return shape_; }

private:
    Problem At(std::string text) const { return {files_[file_], lines_.Number(), std::move(text)}; }
    Problem InFile(std::string text) const { return {files_[file_], 0, std::move(text)}; }

    std::optional<Problem> ReadFile()
    {
        const std::optional<int64_t> written = LogNameTime(files_[file_]);
        if (!written)
            return InFile("not a capture log: the name is not DDMMYY_hhmmss.log");
        if (file_ > 0 && *written <= shape_.fileTimes.back())
            return InFile("not written after " + files_[file_ - 1] +
                          " (by the names); give the files in the order written");
        shape_.fileTimes.push_back(*written);
        std::string problem;
        lines_ = LogLines();
        if (!lines_.Open(files_[file_], expected_ ? expected_->fileBytes[file_] : LogLines::kWholeFile, problem))
            return InFile(problem);
        std::string line;
        for (;;) {
            const LogLines::Result result = lines_.Next(line, problem);
            if (result == LogLines::Result::Unreadable)
                return InFile(problem);
            if (result == LogLines::Result::Problem)
                return At(lines_.Number() == 1 ? "not a capture log: " + problem : problem);
            if (result == LogLines::Result::End)
                break;
            if (auto lineProblem = TakeLine(line))
                return lineProblem;
        }
        if (lines_.Number() == 0)
            return InFile("not a capture log: the file is empty");
        if (expectSettings_)
            return At(NoSettingsLine());
        shape_.fileBytes.push_back(lines_.BytesRead());
        return std::nullopt;
    }

    std::optional<Problem> TakeLine(std::string_view text)
    {
        LogLine line;
        const bool first = lines_.Number() == 1;
        if (!SplitLogLine(text, line))
            return At(std::string(first ? "not a capture log: " : "") +
                      "the line does not begin with ten digits of milliseconds and \": \"");
        const bool continues = line.message.starts_with(kContinuePrefix);
        if (first && file_ > 0 && !continues)
            return At("does not continue " + files_[file_ - 1] + ": its first line is not a \"Continue\" line");
        if ((first && file_ == 0) || continues) {
            if (expected_ && shape_.stretches.size() == expected_->stretches.size())
                return At(ChangedText());
            shape_.stretches.push_back({file_, line.stampMs});
        } else if (line.stampMs < shape_.stretches.back().lastStampMs) {
            return At("the stamp " + Stamp(line.stampMs) + " is earlier than " +
                      Stamp(shape_.stretches.back().lastStampMs) + " on the line before");
        }
        shape_.stretches.back().lastStampMs = line.stampMs;
        return TakeMessage(line.message, continues);
    }

    static std::string ChangedText() { return "the file changed while it was being read"; }

    static std::string NoSettingsLine()
    {
        return "a \"Continue\" line is not followed by the \"CAN11/CAN29 ...\" settings line";
    }

    static std::string BadDump()
    {
        return "bad adapter message: not upper-case hex pairs, each followed by a blank, nor \"No Data\"";
    }

    std::optional<Problem> TakeMessage(std::string_view message, bool continues)
    {
        bool group1 = false;
        const bool settings = ParseSettingsLine(message, group1);
        if (settings)
            setup_.group1Extended = group1;
        // The two lines a write of the log puts in may fall between an
        // adapter message and the frame line it carries.
        const bool writeLines = continues || expectSettings_;
        if (expectSettings_ && !settings)
            return At(NoSettingsLine());
        expectSettings_ = continues;
        if (message.starts_with(kFramePrefix))
            return TakeFrame(message);
        if (!writeLines)
            raw_.reset();
        if (message.starts_with(kOpenPrefix))
            setup_.kind = AdapterKind::Unknown;
        else if (message == kInitStart)
            awaitingKind_ = true;
        else if (message.starts_with(kSentPrefix))
            return TakeSent(message.substr(kSentPrefix.size()));
        else if (message.starts_with(kReceivedPrefix))
            return TakeReceived(message.substr(kReceivedPrefix.size()));
        return std::nullopt;
    }

    // The first command of an initialisation tells the adapter's kind.
    std::optional<Problem> TakeSent(std::string_view dump)
    {
        MessageBytes sent;
        if (!ParseHexDump(dump, sent))
            return At(BadDump());
        if (awaitingKind_ && sent.size > 0) {
            awaitingKind_ = false;
            if (sent.bytes[0] == kCmdTriloxSetup)
                setup_.kind = AdapterKind::Trilox;
            else if (sent.bytes[0] == kCmdReset)
                setup_.kind = AdapterKind::Vekta;
        }
        return std::nullopt;
    }

    std::optional<Problem> TakeReceived(std::string_view dump)
    {
        raw_.emplace();
        raw_->line = lines_.Number();
        if (!ParseHexDump(dump, raw_->message))
            return At(BadDump());
        return std::nullopt;
    }

    std::optional<Problem> TakeFrame(std::string_view message)
    {
        Frame frame;
        std::string problem;
        if (!ParseFrameLine(message, frame.line, problem) ||
            !FrameIsExtended(frame.line, raw_ ? &*raw_ : nullptr, setup_, frame.extended, problem))
            return At(problem);
        raw_.reset();
        frame.stretch = shape_.stretches.size() - 1;
        frame.stampMs = shape_.stretches.back().lastStampMs;
        return sink_ != nullptr ? (*sink_)(frame) : std::nullopt;
    }

    const std::vector<std::string> &files_;
    const RunShape *expected_;
    const FrameSink *sink_;
    RunShape shape_;

    size_t file_ = 0;
    LogLines lines_;
    bool expectSettings_ = false;
    AdapterSetup setup_;
    bool awaitingKind_ = false;
    std::optional<AdapterMessage> raw_;
};

}  // namespace

std::optional<Problem> ScanRun(const std::vector<std::string> &files, RunShape &shape)
{
    RunReader reader(files, nullptr, nullptr);
    auto problem = reader.Read();
    shape = reader.Shape();
    return problem;
}

std::optional<Problem> ReadRun(const std::vector<std::string> &files, const RunShape &shape, const FrameSink &sink)
{
    RunReader reader(files, &shape, &sink);
    if (auto problem = reader.Read())
        return problem;
    if (reader.Shape() != shape)
        return Problem{files.back(), 0, "the files changed while they were being read"};
    return std::nullopt;
}

}  // namespace vektalog
