#include "CommandLine.h"

#include <algorithm>
#include <string_view>

namespace vektalog {

namespace {

constexpr std::string_view kCommand = "candump";
constexpr std::string_view kIfaceOption = "--iface";

// A name that keeps the line's three fields apart.
bool UsableIface(const std::string &name)
{
    return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == '#' || c == '(' || c == ')';
    });
}

bool TakeIface(const std::vector<std::string> &args, size_t &i, CommandLine &line, std::string &error)
{
    const std::string &arg = args[i];
    if (arg.size() > kIfaceOption.size())
        line.iface = arg.substr(kIfaceOption.size() + 1);
    else if (i + 1 < args.size())
        line.iface = args[++i];
    else {
        error = "--iface needs a name";
        return false;
    }
    if (!UsableIface(line.iface)) {
        error = "--iface takes a name without blanks, '#' or brackets, not \"" + line.iface + "\"";
        return false;
    }
    return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string> &args, CommandLine &line, std::string &error)
{
    line = CommandLine();
    bool command = false;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        const bool option = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (option && (arg == "--help" || arg == "-h")) {
            line.help = true;
        } else if (option && arg == "--") {
            optionsEnded = true;
        } else if (option && (arg == kIfaceOption || arg.starts_with(std::string(kIfaceOption) + "="))) {
            if (!TakeIface(args, i, line, error))
                return false;
        } else if (option) {
            error = "unknown option " + arg;
            return false;
        } else if (!command) {
            if (arg != kCommand) {
                error = "unknown command \"" + arg + "\" (the one command is candump)";
                return false;
            }
            command = true;
        } else {
            line.files.push_back(arg);
        }
    }
    if (line.help)
        return true;
    if (!command)
        error = "no command given";
    else if (line.files.empty())
        error = "candump needs the log files of a run";
    return error.empty();
}

std::string Usage()
{
    return R"(Usage: vektalog candump [--iface NAME] FILE...
       vektalog --help

Writes the CAN frames of capture logs (DDMMYY_hhmmss.log) to standard output
as candump -l lines, "(seconds.micros) IFACE ID#DATA", for can-utils,
python-can and every tool that reads that format.

  FILE...       the log files of one capture run, in the order written; a
                run cut with "В ЛОГ" has several, each after the first
                beginning with the two "Continue" lines
  --iface NAME  the interface name written on every line (default can0)
  --help        this text

Times are absolute, seconds since 1970 with microseconds (always ending in
000: the log counts milliseconds). A file's name is the local date and time,
to the second, at which it was written, read here in this machine's time
zone (TZ). Its stamps count from the run's start or, after a "Continue"
line, from just after the write before. So:
  - within one stretch between "Continue" lines, frames are spaced exactly as
    the log's milliseconds say;
  - a stretch after a "Continue" line starts at the second that the file of
    the stretch before it names (or at that stretch's last line, if that is
    later): never late, and at most 1 s plus the time that write took early;
  - the first stretch is placed so that its last line falls at the second
    its own file names. When the file was written right after that line (at
    the end of a run, or a cut on a busy bus), it is at most 1 s early and
    never late; a cut that came S seconds after the last line logged puts
    it up to S late;
  - across a cut, frames keep their order and never go back in time, but
    the step between the last frame before and the first after is known
    only to about a second.
In the hour repeated when summer time ends, a name is ambiguous by an hour.

11-bit or 29-bit: the log writes every identifier with eight digits. With
"Adapter LOG" on, the adapter's own message ("RxD: 70 ...") stands before
each frame and the width is read from it as reception decoded it: a TRILOX
adapter marks 29-bit frames itself, a VEKTA adapter takes the width of
receive group 1 (the "CAN11"/"CAN29" line after "Open" and "Continue"); the
adapter kind is learnt from the first command of the initialisation, and
without it the decoding that gives the logged identifier decides. Without
"Adapter LOG", and where that leaves both widths possible, an identifier
above 7FF is 29-bit and any other 11-bit: a 29-bit frame with a small
identifier such as 00000123 then comes out as the 11-bit 123. The output
has 3 identifier digits for 11-bit and 8 for 29-bit, as candump writes them.

Bad input (not a capture log, a cut-off last line, a line that does not
parse, files out of order) is reported with file and line on standard
error, nothing is written, and the exit status is 1; wrong arguments exit
with 2.
)";
}

}  // namespace vektalog
