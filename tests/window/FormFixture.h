// A window on a fresh capture record, with its files in a temporary folder and
// its error reports collected instead of shown.
#pragma once

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "window/ErrorBox.h"
#include "window/Unit1.h"

using namespace std::chrono_literals;

// Processes events until done() holds; false when the deadline passed first.
bool WaitUntil(const std::function<bool()> &done, std::chrono::milliseconds deadline = 10s);

class FormTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the window (which starts the capture thread) and waits until the
    // thread idles.
    TForm1 &CreateForm();
    // Closes the window through its close handler; true when it closed.
    bool CloseForm();

    std::string SettingsPath() const { return (folder_ / "vektamon.set").string(); }
    void WriteSettings(const std::string &bytes) const;
    std::string ReadSettings() const;
    // The lines of the settings file, without their CR LF.
    std::vector<std::string> SettingsLines() const;

    std::filesystem::path folder_;
    std::unique_ptr<TForm1> form_;
    QStringList errors_;

private:
    ErrorReport previousReport_;
};
