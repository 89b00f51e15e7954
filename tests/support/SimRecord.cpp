#include "SimRecord.h"

#include <fstream>
#include <sstream>

namespace testing_support {

std::vector<RecordedMessage> ReadRecord(const std::string &path)
{
    std::vector<RecordedMessage> messages;
    std::ifstream in(path);
    std::string line;
    // "<rate> <hex byte> <hex byte> ...": a line is taken only once it is whole.
    while (std::getline(in, line) && !in.eof()) {
        std::istringstream fields(line);
        RecordedMessage message;
        fields >> message.lineRate;
        unsigned byte = 0;
        while (fields >> std::hex >> byte)
            message.bytes.push_back(static_cast<uint8_t>(byte));
        messages.push_back(message);
    }
    return messages;
}

}  // namespace testing_support
