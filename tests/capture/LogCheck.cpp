// Recovery and check for the driver bench's power cut and throttled disk: a
// capture thread started on a log folder (its start recovers what a program
// cut off left there), then the flood's frames in the folder's logs must run
// from the first on, once each and in order. Prints how many there are, and
// the last one's place in the flood: frames the line lost while the capture
// opened the port again (an attempt broken off, then "Open") leave a gap in
// the flood, which is reception's, not the log's, and is counted apart.
//   vektacapture_logcheck FOLDER/ FLOOD_IDS
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "capture/Unit2.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/Waiting.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

// A capture thread that runs nothing: started and ended at once.
bool StartAndEndThread(const std::string &folder)
{
    TCaptureControl &control = CaptureControl;
    control.flags = FlagWord::kThreadEnded;
    StoreText(control.logPath, folder);
    StoreText(control.portName, "ttyNONE");
    TC1 *thread = new TC1(true);
    thread->Control = &control;
    thread->Start();
    if (!WaitFor([&] { return control.flags.load() == FlagWord::kAlive; }))
        return false;
    control.flags.store(FlagWord::kEnd);
    return WaitFor([&] { return control.flags.load() == FlagWord::kThreadEnded; });
}

std::vector<std::string> AllMessages(const fs::path &folder)
{
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".log")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<std::string> all;
    for (const auto &file : files) {
        const auto messages = LogMessages(ReadFile(file));
        all.insert(all.end(), messages.begin(), messages.end());
    }
    return all;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER/ FLOOD_IDS\n", argv[0]);
        return 2;
    }
    const auto floodIds = static_cast<uint32_t>(std::stoul(argv[2]));
    if (!StartAndEndThread(argv[1])) {
        std::fprintf(stderr, "logcheck: the capture thread did not start and end\n");
        return 1;
    }
    const auto messages = AllMessages(argv[1]);
    uint64_t next = 0;
    uint64_t logged = 0;
    uint64_t reopenGap = 0;
    bool reopened = false;
    for (const auto &message : messages) {
        reopened = reopened || message.starts_with("Open ");
        if (!IsCanLine(message))
            continue;
        const uint64_t sequence = FloodSequence(message, floodIds);
        if (sequence != next && !(reopened && sequence > next)) {
            std::fprintf(stderr, "logcheck: frame %llu expected, found \"%s\"\n", static_cast<unsigned long long>(next),
                         message.c_str());
            return 1;
        }
        reopenGap += sequence - next;
        next = sequence + 1;
        ++logged;
        reopened = false;
    }
    std::printf("logcheck: %llu frames logged, once each and in order, up to frame %llu; %llu lost across reopens; "
                "%zu recovered logs\n",
                static_cast<unsigned long long>(logged), static_cast<unsigned long long>(next),
                static_cast<unsigned long long>(reopenGap), CountOf(messages, std::string(kRecoveredLine)));
    return 0;
}
