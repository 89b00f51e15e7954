// One pseudo-terminal: the master the simulator serves, the slave the client
// opens, and optionally a symbolic link that names the slave.
#pragma once

#include <string>

namespace vektasim {

class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // Opens a new pair and points linkPath (if not empty) at its slave.
    bool Open(const std::string &linkPath, std::string &error);
    // Closes the master, so the client sees a hang-up, and removes the link.
    void Close();

    bool IsOpen() const { return master_ >= 0; }
    int Master() const { return master_; }
    const std::string &SlavePath() const { return slavePath_; }

private:
    bool OpenMaster(std::string &error);
    bool MakeLink(std::string &error);
    void RemoveLink();

    int master_ = -1;
    std::string slavePath_;
    std::string linkPath_;
};

}  // namespace vektasim
