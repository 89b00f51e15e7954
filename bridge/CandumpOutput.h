// Frames as can-utils log lines on a file descriptor (standard output),
// through a bounded buffer that a thread of its own writes out at least
// every 100 ms. The capture thread only ever appends; when the buffer is
// full, because the reader falls behind, the frame is dropped and counted.
// A write that fails (a full disk) costs the lines of that round only; a
// reader that has gone (EPIPE, or POLLERR on a quiet pipe) ends the output.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "Delivery.h"
#include "capture/FrameSink.h"

namespace vektacand {

class CandumpOutput {
public:
    CandumpOutput(int fd, std::string iface);
    ~CandumpOutput();
    CandumpOutput(const CandumpOutput &) = delete;
    CandumpOutput &operator=(const CandumpOutput &) = delete;

    // Starts the writing thread; false with a message when it cannot.
    bool Start(std::string &error);
    // On the capture thread; never waits for the reader.
    void Take(const SinkFrame &frame);
    // Writes out what is buffered, giving up once the reader has taken
    // nothing for a second, and ends the writing thread.
    void Finish();

    const Delivery &delivery() const { return delivery_; }
    // Whether the reader of the descriptor has gone; from any thread.
    bool ReaderGone() const { return readerGone_.load(); }

private:
    void WriteLoop();
    bool ReaderLeft() const;
    bool WriteOut(std::string_view text, bool finishing);
    bool WaitWritable(bool finishing);

    const int fd_;
    const std::string iface_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::string filling_;     // guarded by mutex_
    bool finishing_ = false;  // guarded by mutex_
    bool closed_ = false;     // guarded by mutex_: the reader has gone
    std::thread writer_;
    Delivery delivery_;
    std::atomic<bool> readerGone_{false};
    // The writing thread's: the rest of a line a failed write cut short, and
    // whether the last write ended inside a line.
    std::string unfinished_;
    bool midLine_ = false;
};

}  // namespace vektacand
