// Helpers of the command-line tests: a fixture that gives each test a fresh folder and runs the
// program's entry in-process with its output kept, whole runs of the built program, and a
// bitmap's pixels for comparing pictures.
#pragma once

#include "cli/Cli.h"
#include "graphics/Bitmap.h"
#include "platform/Gdi.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace clitest {

class ProgramTest : public testing::Test {
  protected:
    // The folder is named after folderPrefix, the process and the test, so parallel runs of
    // the test programs do not meet.
    explicit ProgramTest(std::string folderPrefix) : folderPrefix_(std::move(folderPrefix)) {}

    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               (folderPrefix_ + std::to_string(::getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Runs the program's entry with these arguments; out_ and err_ then hold what it wrote.
    int Run(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        return cli::Run(args, out_, err_);
    }

    std::filesystem::path dir_;
    std::ostringstream out_;
    std::ostringstream err_;

  private:
    std::string folderPrefix_;
};

// Runs a shell command line (the built program with its arguments and redirections) and
// returns the program's exit status, -1 when it did not exit normally.
inline int ExitStatusOf(const std::string& commandLine) {
    const int raw = std::system(commandLine.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Every pixel of a bitmap as 0x00RRGGBB, top row first.
inline std::vector<uint32_t> Pixels(graphics::TBitmap& bitmap) {
    bitmap.MakeStorageReady();
    platform::BITMAPINFO info;
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = bitmap.Width();
    info.bmiHeader.biHeight = -bitmap.Height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<uint8_t> bits(size_t(bitmap.Width()) * size_t(bitmap.Height()) * 4);
    platform::GetDIBits(platform::GetScreenDC(), *bitmap.Image().handle, 0,
                        unsigned(bitmap.Height()), bits, info, platform::DIB_RGB_COLORS);
    std::vector<uint32_t> pixels(bits.size() / 4);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint32_t(bits[i * 4]) | uint32_t(bits[i * 4 + 1]) << 8 |
                    uint32_t(bits[i * 4 + 2]) << 16;
    return pixels;
}

} // namespace clitest
