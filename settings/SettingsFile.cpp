#include "SettingsFile.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "FileReplace.h"
#include "common/AsciiText.h"
#include "common/Utf8File.h"

namespace {

constexpr char kEndOfFile = '\x1A';  // Ctrl-Z
constexpr char kLineEnd[] = "\r\n";
constexpr char kNewFileSuffix[] = ".new";

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::error_code LastError()
{
    return {errno != 0 ? errno : EIO, std::generic_category()};
}

bool IsContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Closes the file and answers whether everything written reached it.
std::error_code CloseWritten(FilePtr file)
{
    errno = 0;
    const bool flushed = std::fflush(file.get()) == 0;
    std::error_code flushError = flushed ? std::error_code() : LastError();
    if (!flushError)
        flushError = SyncWritten(file.get());
    errno = 0;
    const bool closed = std::fclose(file.release()) == 0;
    if (flushError)
        return flushError;
    return closed ? std::error_code() : LastError();
}

std::error_code WriteAll(const std::string &path, std::string_view bytes)
{
    errno = 0;
    FilePtr file(OpenUtf8File(path, "wb"));
    if (!file)
        return LastError();
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return LastError();
    return CloseWritten(std::move(file));
}

}  // namespace

std::string_view FirstCharacters(std::string_view utf8, size_t count)
{
    size_t seen = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (!IsContinuationByte(utf8[i]) && seen++ == count)
            return utf8.substr(0, i);
    }
    return utf8;
}

SettingsText SplitSettingsText(std::string_view bytes)
{
    bytes = bytes.substr(0, bytes.find(kEndOfFile));
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        std::string line;
        for (char c : bytes.substr(0, end))
            if (c != '\r')
                line.push_back(c);
        lines.emplace_back(FirstCharacters(line, kMaxValueLength));
        bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
    }
    return SettingsText(std::move(lines));
}

std::string JoinSettingsText(const std::vector<std::string> &values)
{
    std::string bytes;
    for (const std::string &value : values) {
        bytes += FirstCharacters(value, kMaxValueLength);
        bytes += kLineEnd;
    }
    return bytes;
}

std::optional<std::string> ReadSettingsFile(const std::string &path, SettingsText &text)
{
    errno = 0;
    FilePtr file(OpenUtf8File(path, "rb"));
    if (!file)
        return FileErrorText(LastError());
    std::string bytes;
    char chunk[4096];
    size_t got = 0;
    errno = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
        bytes.append(chunk, got);
    if (std::ferror(file.get()))
        return FileErrorText(LastError());
    text = SplitSettingsText(bytes);
    return std::nullopt;
}

std::optional<std::string> WriteSettingsFile(const std::string &path, const std::vector<std::string> &values)
{
    const std::string newPath = path + kNewFileSuffix;
    std::error_code error = WriteAll(newPath, JoinSettingsText(values));
    if (!error)
        error = ReplaceWithNew(newPath, path);
    if (!error)
        return std::nullopt;
    std::error_code ignored;
    std::filesystem::remove(Utf8Path(newPath), ignored);
    return FileErrorText(error);
}

std::string FileErrorText(std::error_code error)
{
    if (error == std::errc::no_such_file_or_directory)
        return "File not found";
    if (error == std::errc::filename_too_long || error == std::errc::invalid_argument ||
        error == std::errc::not_a_directory || error == std::errc::is_a_directory)
        return "Invalid filename";
    if (error == std::errc::too_many_files_open || error == std::errc::too_many_files_open_in_system)
        return "Too many open files";
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
        error == std::errc::read_only_file_system)
        return "File access denied";
    if (error == std::errc::no_space_on_device)
        return "Disk full";
    return "I/O error " + std::to_string(error.value());
}

std::optional<int32_t> ToInteger(std::string_view text)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return std::nullopt;
    }
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<bool> IsNonZeroNumber(std::string_view text)
{
    size_t at = 0;
    const auto skipSign = [&] {
        if (at < text.size() && (text[at] == '+' || text[at] == '-'))
            ++at;
    };
    const auto digits = [&] {
        const size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9')
            ++at;
        return text.substr(start, at - start);
    };
    skipSign();
    const std::string_view whole = digits();
    std::string_view fraction;
    if (at < text.size() && text[at] == '.') {
        ++at;
        fraction = digits();
    }
    if (whole.empty() && fraction.empty())
        return std::nullopt;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        skipSign();
        if (digits().empty())
            return std::nullopt;
    }
    if (at != text.size())
        return std::nullopt;
    const auto nonZero = [](std::string_view d) { return d.find_first_not_of('0') != std::string_view::npos; };
    return nonZero(whole) || nonZero(fraction);
}

std::optional<bool> ToBoolean(std::string_view text)
{
    if (const auto number = IsNonZeroNumber(text))
        return *number;
    if (EqualsIgnoringCase(text, "true"))
        return true;
    if (EqualsIgnoringCase(text, "false"))
        return false;
    return std::nullopt;
}

namespace {

// "'text' is not a valid <kind> value", built by appending: GCC 12 misreads
// the chain of operator+ on a quote character as an overlapping copy.
std::string NotValidText(std::string_view text, std::string_view kind)
{
    std::string message;
    message.reserve(text.size() + kind.size() + 24);
    message.append(1, '\'').append(text).append("' is not a valid ").append(kind).append(" value");
    return message;
}

}  // namespace

std::string NotIntegerText(std::string_view text)
{
    return NotValidText(text, "integer");
}

std::string NotBooleanText(std::string_view text)
{
    return NotValidText(text, "boolean");
}
