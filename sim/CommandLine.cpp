#include "CommandLine.h"

#include <charconv>
#include <cstdint>

namespace vektasim {

namespace {

template <typename Number>
bool ParseNumber(const std::string &text, Number &value)
{
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end && !text.empty();
}

// The value of an option that takes one; i moves past it.
bool TakeValue(const std::vector<std::string> &args, size_t &i, std::string &value, std::string &error)
{
    if (i + 1 >= args.size()) {
        error = args[i] + " needs a value";
        return false;
    }
    value = args[++i];
    return true;
}

bool ParseKind(const std::string &text, Kind &kind, std::string &error)
{
    if (text == "vekta")
        kind = Kind::Vekta;
    else if (text == "trilox")
        kind = Kind::Trilox;
    else {
        error = "--kind takes vekta or trilox, not \"" + text + "\"";
        return false;
    }
    return true;
}

// Options without a value; false when arg is none of them.
bool ParseSwitch(const std::string &arg, CommandLine &line)
{
    Options &o = line.options;
    if (arg == "--help" || arg == "-h")
        line.help = true;
    else if (arg == "--fast")
        o.replayFast = true;
    else if (arg == "--loop")
        o.replayLoop = true;
    else if (arg == "--throttle")
        o.throttle = true;
    else if (arg == "--silent")
        o.answerCommands = false;
    else if (arg == "--cut-between-messages")
        o.cutBetweenMessages = true;
    else if (arg == "--drop-broken-off")
        o.dropBrokenOff = true;
    else
        return false;
    return true;
}

bool ParseCount(const std::string &arg, const std::string &value, uint64_t &count, std::string &error)
{
    if (ParseNumber(value, count))
        return true;
    error = arg + " takes a number, not \"" + value + "\"";
    return false;
}

bool ParseValued(const std::string &arg, const std::string &value, CommandLine &line, std::string &error)
{
    Options &o = line.options;
    if (arg == "--kind")
        return ParseKind(value, o.kind, error);
    if (arg == "--link")
        o.linkPath = value;
    else if (arg == "--record")
        line.recordPath = value;
    else if (arg == "--replay") {
        o.traffic = Traffic::Replay;
        o.replayFile = value;
    } else if (arg == "--flood") {
        o.traffic = Traffic::Flood;
        if (!ParseNumber(value, o.floodIds) || o.floodIds == 0) {
            error = "--flood takes a number of identifiers above 0, not \"" + value + "\"";
            return false;
        }
    } else if (arg == "--frames")
        return ParseCount(arg, value, o.frameLimit, error);
    return true;
}

bool TakesValue(const std::string &arg)
{
    for (const char *option : {"--kind", "--link", "--record", "--replay", "--flood", "--frames"})
        if (arg == option)
            return true;
    return false;
}

bool ParseOption(const std::vector<std::string> &args, size_t &i, CommandLine &line, std::string &error)
{
    const std::string &arg = args[i];
    if ((arg == "--replay" || arg == "--flood") && line.options.traffic != Traffic::Generator) {
        error = "--replay and --flood exclude each other";
        return false;
    }
    if (ParseSwitch(arg, line))
        return true;
    if (!TakesValue(arg)) {
        error = "unknown option \"" + arg + "\"";
        return false;
    }
    std::string value;
    return TakeValue(args, i, value, error) && ParseValued(arg, value, line, error);
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string> &args, CommandLine &line, std::string &error)
{
    line = CommandLine{};
    for (size_t i = 0; i < args.size(); ++i)
        if (!ParseOption(args, i, line, error))
            return false;
    return true;
}

std::string Usage()
{
    return "Usage: vektasim [options]\n"
           "Plays a VEKTA or TRILOX CAN adapter on a pseudo-terminal until SIGINT or SIGTERM.\n"
           "Prints the serial port to open (the slave, and the link if one is made).\n"
           "\n"
           "  --kind vekta|trilox  adapter kind (default vekta)\n"
           "  --link PATH          keep a symbolic link to the serial port at PATH\n"
           "  --replay FILE        stream the frames of a candump -l file\n"
           "  --fast               replay as fast as possible, not at the recorded timing\n"
           "  --loop               start the replay over at its end\n"
           "  --flood N            stream as fast as possible over N identifiers\n"
           "                       (11-bit up to 2048, 29-bit above)\n"
           "  --frames N           stop streaming after N frames (default: no limit)\n"
           "  --throttle           pace output to the real line, 83333 bytes/s\n"
           "  --silent             answer no command\n"
           "  --cut-between-messages\n"
           "                       a power cut (SIGUSR1) lets the message under way finish,\n"
           "                       so that the line falls quiet between two messages\n"
           "  --drop-broken-off    a message the client paused in for 50 ms is dropped, as\n"
           "                       by an adapter's receive time-out (a line's echo at its open)\n"
           "  --record FILE        write each received message to FILE as it comes:\n"
           "                       the line rate, then the bytes in hex, one line each\n"
           "  --help               show this text\n"
           "Without --replay or --flood a built-in generator streams a few periodic identifiers.\n"
           "SIGUSR1 cuts the adapter's power for a moment, as pulling out a bus-powered\n"
           "converter does: what it had not sent is lost, and it is quiet until initialised;\n"
           "\"power cut\" on the standard output says the line has gone quiet.\n"
           "SIGUSR2 prints \"frames sent N\": the frames sent so far.\n";
}

}  // namespace vektasim
