#include "SimSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace testing_support {

std::unique_ptr<vektasim::Simulator> StartSimulator(vektasim::Options options)
{
    auto sim = std::make_unique<vektasim::Simulator>(options);
    std::string error;
    EXPECT_TRUE(sim->Start(error)) << error;
    return sim;
}

vektasim::Options Quiet(vektasim::Kind kind)
{
    vektasim::Options options;
    options.kind = kind;
    options.traffic = vektasim::Traffic::None;
    return options;
}

std::vector<std::vector<uint8_t>> CommandsReceived(const vektasim::Simulator &sim)
{
    std::vector<std::vector<uint8_t>> commands;
    for (const auto &message : sim.Received())
        commands.push_back(message.bytes);
    return commands;
}

bool HasCommand(const vektasim::Simulator &sim, uint8_t code)
{
    const auto commands = CommandsReceived(sim);
    return std::any_of(commands.begin(), commands.end(), [code](const auto &m) { return m[0] == code; });
}

}  // namespace testing_support
