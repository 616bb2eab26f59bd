#include "AppTestSupport.h"

#include "app/Velmora.h"
#include "app/mnVelmora.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace apptest {

namespace {

// One QApplication for the whole test program, made only when tests run (listing the tests
// at build time needs no display).
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (std::getenv("QT_QPA_PLATFORM") == nullptr)
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "velmora_app_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

void ProcessEvents() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

void AppTest::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() /
              ("velmora-app-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" +
               info->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    app_ = std::make_unique<toolkit::TApplication>();
    app_->SetExeNameForTesting((folder_ / "velmora").string());
    app_->SetErrorBoxPresenter([this](const toolkit::ErrorBox& box) { boxes_.push_back(box); });
    dialogGuard_ = std::make_unique<toolkit::ScopedDialogProvider>(dialogs_);
}

void AppTest::TearDown() {
    dialogGuard_.reset();
    app_.reset();
    ProcessEvents();
    std::filesystem::remove_all(folder_);
}

void StartedInOwnFolderTest::SetUp() {
    AppTest::SetUp();
    savedCwd_ = std::filesystem::current_path();
    cwd_ = folder_ / "cwd";
    std::filesystem::create_directories(cwd_);
    std::filesystem::current_path(cwd_);
    StartProgram();
    ASSERT_NE(velmora::Form1, nullptr);
}

void StartedInOwnFolderTest::TearDown() {
    std::filesystem::current_path(savedCwd_);
    AppTest::TearDown();
}

void AppTest::StartProgram() {
    velmora::StartVelmora(*app_, [this](std::string_view step) { steps_.emplace_back(step); });
}

void AppTest::WriteProfileFile(const std::string& text) const {
    std::ofstream(ProfilePath(), std::ios::binary) << text;
}

std::string AppTest::ReadProfileFile() const {
    std::ifstream in(ProfilePath(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace apptest
