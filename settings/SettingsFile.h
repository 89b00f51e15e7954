// The settings file "vektamon.set": one value a line, CR LF endings, no keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

inline constexpr char kSettingsFileName[] = "vektamon.set";
inline constexpr size_t kMaxValueLength = 255;  // characters

// The lines of a settings file; a line past the end reads as empty text.
class SettingsText {
public:
    SettingsText() = default;
    explicit SettingsText(std::vector<std::string> lines) : lines_(std::move(lines)) {}

    std::string Line(size_t index) const { return index < lines_.size() ? lines_[index] : std::string(); }
    size_t LineCount() const { return lines_.size(); }

private:
    std::vector<std::string> lines_;
};

// Splits file bytes into values: a line ends at LF, CRs are dropped, Ctrl-Z
// ends the file and every value is cut to its first 255 characters.
SettingsText SplitSettingsText(std::string_view bytes);

// The bytes of a file holding the values, each cut to 255 characters and
// ended by CR LF.
std::string JoinSettingsText(const std::vector<std::string> &values);

// Reads the file; answers the message for the operator when that fails.
std::optional<std::string> ReadSettingsFile(const std::string &path, SettingsText &text);

// Writes a new file beside path and renames it over path, so that a failed
// save leaves the previous file whole; answers the message when it fails.
std::optional<std::string> WriteSettingsFile(const std::string &path, const std::vector<std::string> &values);

// The operator's text for a failed file operation.
std::string FileErrorText(std::error_code error);

// A decimal whole number, optionally signed, within 32 bits.
std::optional<int32_t> ToInteger(std::string_view text);
// Whether a decimal number is non-zero: a sign, digits with an optional
// fraction (digits on at least one side of the point) and an optional
// exponent, nothing else. Judged by its digits, so no range limits it:
// "1e-999" is non-zero. Nothing for any other text.
std::optional<bool> IsNonZeroNumber(std::string_view text);
// A number (non-zero is true) or "True"/"False" in any letter case.
std::optional<bool> ToBoolean(std::string_view text);

std::string NotIntegerText(std::string_view text);
std::string NotBooleanText(std::string_view text);

// The first count characters of UTF-8 text.
std::string_view FirstCharacters(std::string_view utf8, size_t count);
