// Helpers for the capture tests that put the simulated adapter on the far
// end of the port (POSIX only, like the simulator).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/Simulator.h"
#include "tests/support/KindPrinting.h"

namespace testing_support {

// A simulator serving its pseudo-terminal, started or failing the test.
std::unique_ptr<vektasim::Simulator> StartSimulator(vektasim::Options options);
// Options for an adapter that answers commands and sends no traffic.
vektasim::Options Quiet(vektasim::Kind kind = vektasim::Kind::Vekta);
// The commands the simulator received, as whole messages.
std::vector<std::vector<uint8_t>> CommandsReceived(const vektasim::Simulator &sim);
bool HasCommand(const vektasim::Simulator &sim, uint8_t code);

}  // namespace testing_support
