// The fixture of the bench tests: one adapter of the bench, made quiet, its
// converter found, CaptureControl filled for it, QEMU's trace marked.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "BenchSupport.h"
#include "capture/SerialDevice.h"
#include "capture/Unit2.h"
#include "tests/support/CaptureSupport.h"

namespace bench_support {

class BenchTest : public ::testing::Test {
protected:
    BenchAdapter Adapter(const std::string &kind);

    testing_support::TempDir dir;
    std::string device;
    Trace trace;
};

// Ends a stream an earlier test left running: one command, then reading
// until the line is silent, so that nothing waits for the next open.
void QuietAdapter(const std::string &device);

// A command message that starts the adapter's stream, sent on a port opened
// for it alone and closed at once.
void StartStream(const std::string &device);

}  // namespace bench_support
