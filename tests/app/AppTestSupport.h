// Shared helpers of the window tests: a QApplication on Qt's offscreen platform, a private
// folder per test for the profile file, scripted common dialogs and a recorder for the default
// handler's message box.
#pragma once

#include "app/toolkit/Application.h"
#include "app/toolkit/Dialogs.h"

#include <QApplication>
#include <deque>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace apptest {

// Lets queued events (activation, painting, deferred calls) run.
void ProcessEvents();

// Answers the common dialogs from a script: each answer may change the dialog's values and
// says whether it was confirmed. A dialog with no answer queued counts as cancelled.
class ScriptedDialogs : public toolkit::DialogProvider {
  public:
    std::deque<std::function<bool(toolkit::TOpenDialog&)>> open;
    std::deque<std::function<bool(toolkit::TSavePictureDialog&)>> save;
    std::deque<std::function<bool(toolkit::TColorDialog&)>> color;
    std::deque<std::function<bool(toolkit::TFontDialog&)>> font;
    // Answers to the question before a file is replaced; none queued counts as "No".
    std::deque<std::function<bool(const std::string&)>> replace;
    int shown = 0;

    bool RunOpen(toolkit::TOpenDialog& dialog) override { return Answer(open, dialog); }
    bool RunSave(toolkit::TSavePictureDialog& dialog) override { return Answer(save, dialog); }
    bool RunColor(toolkit::TColorDialog& dialog) override { return Answer(color, dialog); }
    bool RunFont(toolkit::TFontDialog& dialog) override { return Answer(font, dialog); }
    bool RunConfirmReplace(const std::string& fileName) override {
        asked.push_back(fileName);
        if (replace.empty())
            return false;
        auto answer = std::move(replace.front());
        replace.pop_front();
        return answer(fileName);
    }
    // The files the replace question was asked for, in order.
    std::vector<std::string> asked;

  private:
    template <class Queue, class Dialog> bool Answer(Queue& queue, Dialog& dialog) {
        ++shown;
        if (queue.empty())
            return false;
        auto answer = std::move(queue.front());
        queue.pop_front();
        return answer(dialog);
    }
};

// A test with its own folder (holding the "executable" and so its profile file), its own
// application object whose error boxes are recorded, and scripted dialogs.
class AppTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The program's start-up on this test's application; the steps are recorded.
    void StartProgram();
    std::filesystem::path ProfilePath() const { return folder_ / "velmora.ini"; }
    void WriteProfileFile(const std::string& text) const;
    std::string ReadProfileFile() const;

    std::filesystem::path folder_;
    std::unique_ptr<toolkit::TApplication> app_;
    std::vector<toolkit::ErrorBox> boxes_;
    std::vector<std::string> steps_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<toolkit::ScopedDialogProvider> dialogGuard_;
};

// The program started in a current folder of the test's own (cwd_), which holds none of the
// data files ("blankcard.jpg", "VELMORA.HLP") unless a test puts them there.
class StartedInOwnFolderTest : public AppTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path savedCwd_;
    std::filesystem::path cwd_;
};

} // namespace apptest
