#include "CommandLine.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <sstream>

#include <net/if.h>

#include "capture/AdapterEncoding.h"
#include "settings/HexParse.h"
#include "settings/SettingsFile.h"

namespace vektacand {

namespace {

// The RTO the capture honours; it waits at least 1 ms and at most 10 s.
constexpr int32_t kMinRtoMs = 0;
constexpr int32_t kMaxRtoMs = 10000;
// Where group 2 begins among the eight filter texts.
constexpr size_t kGroup2First = 3;

using Taker = std::function<std::optional<std::string>(const std::string &value, CommandLine &line)>;

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

// The position of value in a list of the window's; a message when it is not there.
template <size_t N>
std::optional<std::string> ListPosition(const std::array<int32_t, N> &list, int32_t value, const std::string &text,
                                        const char *option, std::optional<int32_t> &position)
{
    const auto found = std::find(list.begin(), list.end(), value);
    if (found == list.end()) {
        std::string allowed;
        for (const int32_t item : list)
            allowed += (allowed.empty() ? "" : ", ") + std::to_string(item);
        return std::string(option) + " takes one of " + allowed + ", not \"" + text + "\"";
    }
    position = int32_t(found - list.begin());
    return std::nullopt;
}

template <size_t N>
Taker FromList(const std::array<int32_t, N> &list, const char *option, std::optional<int32_t> CommandLine::*field)
{
    return [&list, option, field](const std::string &value, CommandLine &line) {
        return ListPosition(list, ToInteger(value).value_or(-1), value, option, line.*field);
    };
}

std::optional<std::string> TakeAdapter(const std::string &value, CommandLine &line)
{
    const std::string upper = Upper(value);
    const auto found =
        std::find_if(kAdapterKinds.begin(), kAdapterKinds.end(), [&upper](const char *kind) { return upper == kind; });
    if (found == kAdapterKinds.end())
        return "--adapter takes VEKTA or TRILOX, not \"" + value + "\"";
    line.adapter = int32_t(found - kAdapterKinds.begin());
    return std::nullopt;
}

Taker Number(const char *option, int64_t least, int64_t most, std::optional<int32_t> CommandLine::*field)
{
    return [=](const std::string &value, CommandLine &line) -> std::optional<std::string> {
        const auto number = ToInteger(value);
        if (!number || *number < least || *number > most)
            return std::string(option) + " takes a whole number from " + std::to_string(least) + " to " +
                   std::to_string(most) + ", not \"" + value + "\"";
        line.*field = *number;
        return std::nullopt;
    };
}

// "ADDR,ADDR,...,MASK": every field hexadecimal, as the window's fields take them.
template <size_t N>
Taker Group(const char *option, const char *form, std::optional<std::array<std::string, N>> CommandLine::*field)
{
    return [=](const std::string &value, CommandLine &line) -> std::optional<std::string> {
        std::array<std::string, N> parts;
        std::istringstream in(value);
        size_t count = 0;
        for (std::string part; std::getline(in, part, ',');)
            if (count++ < N)
                parts[count - 1] = part;
        if (count != N || value.ends_with(','))
            return std::string(option) + " takes " + form + ", not \"" + value + "\"";
        for (const std::string &part : parts)
            if (part.empty() || !ParseHex8(part))
                return std::string(option) + ": " + NotHexText(part);
        line.*field = parts;
        return std::nullopt;
    };
}

Taker Text(std::string CommandLine::*field)
{
    return [=](const std::string &value, CommandLine &line) -> std::optional<std::string> {
        line.*field = value;
        return std::nullopt;
    };
}

const std::map<std::string, Taker> &ValueOptions()
{
    static const std::map<std::string, Taker> options = {
        {"--settings", Text(&CommandLine::settingsFile)},
        {"--log-dir", Text(&CommandLine::logDir)},
        {"--adapter", TakeAdapter},
        {"--bitrate", Number("--bitrate", kMinCanRate, kMaxCanRate, &CommandLine::canBaud)},
        {"--sample-point", FromList(kSamplePoints, "--sample-point", &CommandLine::sample)},
        {"--sjw", FromList(kSjwSteps, "--sjw", &CommandLine::sjw)},
        {"--group1", Group<3>("--group1", "RADR11,RADR12,RMSK1", &CommandLine::group1)},
        {"--group2", Group<5>("--group2", "RADR21,RADR22,RADR23,RADR24,RMSK2", &CommandLine::group2)},
        {"--group1-bits", FromList(kIdentifierBits, "--group1-bits", &CommandLine::group1Bits)},
        {"--group2-bits", FromList(kIdentifierBits, "--group2-bits", &CommandLine::group2Bits)},
        {"--rto", Number("--rto", kMinRtoMs, kMaxRtoMs, &CommandLine::rto)},
    };
    return options;
}

const std::map<std::string, std::function<void(CommandLine &)>> &SwitchOptions()
{
    static const std::map<std::string, std::function<void(CommandLine &)>> options = {
        {"--help", [](CommandLine &line) { line.help = true; }},
        {"-h", [](CommandLine &line) { line.help = true; }},
        {"--version", [](CommandLine &line) { line.version = true; }},
        {"--candump", [](CommandLine &line) { line.candump = true; }},
        {"--create", [](CommandLine &line) { line.create = true; }},
        {"--write-to-any-interface", [](CommandLine &line) { line.anyInterface = true; }},
        {"--adapter-log", [](CommandLine &line) { line.adapterLog = true; }},
        {"--no-adapter-log", [](CommandLine &line) { line.adapterLog = false; }},
        {"--can-log", [](CommandLine &line) { line.canLog = true; }},
        {"--no-can-log", [](CommandLine &line) { line.canLog = false; }},
    };
    return options;
}

// "--name value" or "--name=value".
bool TakeOption(const std::vector<std::string> &args, size_t &i, CommandLine &line, std::string &error)
{
    const std::string &arg = args[i];
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    if (const auto found = SwitchOptions().find(name); found != SwitchOptions().end() && equals == std::string::npos) {
        found->second(line);
        return true;
    }
    const auto found = ValueOptions().find(name);
    if (found == ValueOptions().end()) {
        error = "unknown option " + arg;
        return false;
    }
    std::string value;
    if (equals != std::string::npos)
        value = arg.substr(equals + 1);
    else if (i + 1 < args.size())
        value = args[++i];
    else {
        error = name + " needs a value";
        return false;
    }
    if (auto failure = found->second(value, line)) {
        error = *failure;
        return false;
    }
    return true;
}

bool TakeOperand(const std::string &arg, CommandLine &line, std::string &error)
{
    if (line.tty.empty()) {
        line.tty = arg;
    } else if (line.iface.empty()) {
        if (arg.empty() || arg.size() >= IFNAMSIZ || arg.find_first_of("/: \t") != std::string::npos) {
            error = "\"" + arg + "\" is no network interface name (at most " + std::to_string(IFNAMSIZ - 1) +
                    " characters, no '/', ':' or blanks)";
            return false;
        }
        line.iface = arg;
    } else {
        error = "one TTY and one IFACE at most; \"" + arg + "\" is one too many";
        return false;
    }
    return true;
}

bool CheckWhole(const CommandLine &line, std::string &error)
{
    if (line.tty.empty())
        error = "no TTY given";
    else if (line.iface.empty() && !line.candump)
        error = "nothing to hand the frames to: give IFACE, --candump or both";
    else if (line.create && line.iface.empty())
        error = "--create needs IFACE";
    else if (line.anyInterface && line.iface.empty())
        error = "--write-to-any-interface needs IFACE";
    return error.empty();
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string> &args, CommandLine &line, std::string &error)
{
    line = CommandLine();
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (!TakeOption(args, i, line, error))
                return false;
        } else if (!TakeOperand(arg, line, error)) {
            return false;
        }
    }
    return line.help || line.version || CheckWhole(line, error);
}

void ApplyOptions(const CommandLine &line, CaptureSetup &setup)
{
    setup.port = line.tty;
    const std::optional<int32_t> indexes[] = {line.adapter, line.sample, line.sjw, line.group1Bits, line.group2Bits};
    for (size_t i = 0; i < setup.indexes.size(); ++i)
        setup.indexes[i] = indexes[i].value_or(setup.indexes[i]);
    setup.canBaud = line.canBaud.value_or(setup.canBaud);
    setup.rto = line.rto.value_or(setup.rto);
    setup.adapterLog = line.adapterLog.value_or(setup.adapterLog);
    setup.canLog = line.canLog.value_or(setup.canLog);
    if (line.group1)
        std::copy(line.group1->begin(), line.group1->end(), setup.filters.begin());
    if (line.group2)
        std::copy(line.group2->begin(), line.group2->end(), setup.filters.begin() + kGroup2First);
}

}  // namespace vektacand

namespace vektacand {

std::string Usage()
{
    return R"(Usage: vektacand [OPTIONS] TTY [IFACE]
       vektacand --help | --version

Runs a capture on the adapter at TTY, as the window's Start does, and hands
every received CAN frame on: to the SocketCAN interface IFACE (a vcan),
as can-utils log lines on standard output (--candump), or both.

Outputs:
  IFACE                 write every frame to this interface through a CAN_RAW
                        socket; an existing vcan needs no privilege. Any
                        other kind (a physical CAN port, a vxcan, a gateway)
                        is refused with exit status 2 before the port is
                        opened, also when IFACE is made again while running
  --write-to-any-interface
                        write to IFACE whatever its kind: every received
                        frame is then sent again on the bus IFACE reaches;
                        meant for a gateway, never for the bus sniffed
  --create              make IFACE (type vcan) and bring it up when it is
                        missing or down; needs CAP_NET_ADMIN; an interface
                        of that name of another kind is never touched
  --candump             every frame as "(seconds.micros) IFACE ID#DATA" on
                        standard output (IFACE or can0), written at least
                        every 100 ms; nothing else goes there. A write that
                        fails (a full disk) loses that moment's lines only,
                        counted and said on standard error

Capture set-up (the window's defaults unless a settings file or an option
says otherwise; options win):
  --settings FILE       the window's vektamon.set; TTY replaces its port line
  --adapter KIND        VEKTA or TRILOX
  --bitrate BPS         CAN bit rate, 15625 to 1000000
  --sample-point PCT    60, 65, 70, 75, 80 or 85
  --sjw PCT             5, 10, 15 or 20
  --group1 A1,A2,MASK   receive addresses and mask of group 1 (hexadecimal)
  --group1-bits 11|29   identifier length of group 1
  --group2 A1,A2,A3,A4,MASK
                        receive addresses and mask of group 2
  --group2-bits 11|29   identifier length of group 2
  --rto MS              receive time-out, 0 to 10000
  --adapter-log, --no-adapter-log, --can-log, --no-can-log
                        the window's two log switches
  --log-dir DIR         where the capture logs go (default: the folder the
                        window uses)

Standard error carries a line at each change of state (opening,
initialising, receiving, closed with the reason), one when frames start to
be dropped (interface down or gone, a reader too slow) and one when they get
through again, and a summary at the end. A lost interface is looked for
again by name, with --create made again. SIGINT, SIGTERM or SIGHUP ends the capture
as Stop does (port closed, log written); the exit status is then 0.

Exit status: 0 after a signal, 1 when an output cannot be set up, 2 for bad
input (options, settings file, filters, an IFACE that is no vcan), found
before the port is touched, 3 when the reader of --candump's lines went away
(as "| head" does), the run then ended as after a signal.
)";
}

}  // namespace vektacand
