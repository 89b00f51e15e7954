// The adapter simulator: plays a VEKTA or TRILOX adapter on the master side of
// a pseudo-terminal, so that the capture thread can open the slave side as its
// serial port. Used by the tests, the benchmarks and the demo program vektasim.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vektasim {

enum class Kind { Vekta, Trilox };

// One CAN frame as the simulator sends it.
struct CanFrame {
    uint32_t id = 0;
    bool extended = false;  // 29-bit identifier
    uint8_t length = 0;     // 0..8
    uint8_t data[8] = {};
    uint64_t timeUs = 0;  // replay time stamp, relative to the first frame
};

// One message the simulator received, with the line rate the slave side was
// set to when its first byte arrived.
struct ReceivedMessage {
    std::vector<uint8_t> bytes;  // type, count, payload
    uint32_t lineRate = 0;
};

enum class Traffic {
    None,       // answer commands only
    Generator,  // built-in periodic identifiers
    Replay,     // a candump -l file
    Flood,      // as fast as possible from a fixed set of identifiers
};

struct Options {
    Kind kind = Kind::Vekta;
    Traffic traffic = Traffic::Generator;
    std::string replayFile;           // with Traffic::Replay
    bool replayFast = false;          // ignore the recorded timing
    bool replayLoop = false;          // start over at the end of the file
    uint32_t floodIds = 500;          // distinct identifiers with Traffic::Flood
    uint64_t frameLimit = 0;          // stop streaming after this many frames; 0 = no limit
                                      // (counts the traffic source, not queued frames)
    bool throttle = false;            // pace output to 833333 bit/s, 10 bits a byte
    std::string linkPath;             // keep a symlink to the slave here, if not empty
    bool answerCommands = true;       // false: stay silent (fault)
    bool cutBetweenMessages = false;  // a power cut lets the message under way finish
    bool dropBrokenOff = false;       // a message the client paused in for 50 ms is dropped
};

// Faults a test can switch on while the simulator runs.
enum class Fault {
    None,
    Silence,         // answer nothing, send nothing
    WrongTypeFirst,  // answer each command with another type first, then the right one
    WrongTypeOnly,   // answer each command with another type only
    CutShort,        // the next frame message breaks off after its count byte;
                     // streaming stops until the next 0x57, the fault clears
    Garbage,         // send random bytes between frames
};

class Simulator {
public:
    explicit Simulator(Options options);
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Opens the pseudo-terminal and starts serving it on a thread of its own.
    // Answers false with a message in error when it cannot.
    bool Start(std::string &error);
    void Stop();

    // The path the capture thread opens: the link path if one was given,
    // otherwise the slave's own path.
    std::string PortPath() const;
    std::string SlavePath() const;

    // Unplug closes the master side (the slave sees a hang-up) and removes the
    // link; Replug opens a new pseudo-terminal behind the same link.
    void Unplug();
    bool Replug(std::string &error);

    void SetFault(Fault fault);
    // The adapter loses its power for a moment, as a bus-powered one does
    // when its USB converter is pulled out: what it had not sent, also what
    // waits unread in the pseudo-terminal, is lost, and it stays quiet until
    // the next last initialisation command. Returns once the line is quiet;
    // false when the server did not get to it within a second.
    bool CutPower();
    // With held true the line takes nothing the client writes, as a stalled
    // driver would: the client's writes run into their time-out. Opens the
    // client's side, so the client must not have made it exclusive yet unless
    // this runs as root. Answers false with a message when it cannot.
    bool HoldOutput(bool held, std::string &error);
    // Commands with these codes get no answer at all (replaces the former set).
    void SetIgnoredCommands(const std::vector<uint8_t> &codes);

    // Everything received so far, split into messages, in order. A message
    // shows here only once the simulator has acted on it.
    std::vector<ReceivedMessage> Received() const;
    // All received bytes in one sequence.
    std::vector<uint8_t> ReceivedBytes() const;
    void ClearReceived();

    // True once the last initialisation command (0x57) has been answered and
    // frames are being streamed.
    bool Streaming() const;
    uint64_t FramesSent() const;
    // The frames sent whole, in order (kept only when recordFrames is on).
    std::vector<CanFrame> SentFrames() const;
    void SetRecordFrames(bool on);

    // Queues frames to be sent once streaming (in addition to the traffic source,
    // and before it). Frames not written whole when the client re-initialises
    // or goes away return to the front of the queue.
    void QueueFrames(const std::vector<CanFrame> &frames);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Reads a candump -l file ("(ts) iface ID#DATA"). Answers false with a message
// naming the file and line for a line it cannot read.
bool LoadCandump(const std::string &path, std::vector<CanFrame> &frames, std::string &error);

// The frame message the adapter sends for a CAN frame: 70, count, 4 identifier
// bytes, data.
std::vector<uint8_t> EncodeFrameMessage(const CanFrame &frame, Kind kind);

}  // namespace vektasim
