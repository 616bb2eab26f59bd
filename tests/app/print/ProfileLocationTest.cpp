// Where an installed program keeps its station profile: beside the executable while that
// folder can be written, else in the user's configuration folder.
#include "profile/StationProfile.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using velmora::ProfileLocationFor;

// Sets or clears an environment variable for the test's lifetime.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class ProfileLocation : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("velmora-profile-" + std::to_string(::getpid()) + "-" + UnitTestName());
        fs::remove_all(root_);
        fs::create_directories(root_ / "bin");
    }
    void TearDown() override {
        std::error_code error;
        fs::permissions(root_ / "bin", fs::perms::owner_all, error);
        fs::remove_all(root_, error);
    }
    static std::string UnitTestName() {
        return ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
    fs::path root_;
};

TEST_F(ProfileLocation, BesideAnExecutableInAWritableFolder) {
    const ScopedEnv xdg("XDG_CONFIG_HOME", (root_ / "config").string());
    EXPECT_EQ(ProfileLocationFor((root_ / "bin" / "velmora").string()),
              (root_ / "bin" / "velmora.ini").string());
    EXPECT_FALSE(fs::exists(root_ / "config")) << "nothing made elsewhere";
}

TEST_F(ProfileLocation, InTheConfigurationFolderWhenTheExecutablesFolderCannotBeWritten) {
    const ScopedEnv xdg("XDG_CONFIG_HOME", (root_ / "config").string());
    // A folder that is not there cannot take the profile either.
    const fs::path exe = root_ / "missing" / "velmora";
    EXPECT_EQ(ProfileLocationFor(exe.string()), (root_ / "config" / "velmora" / "velmora.ini"));
    EXPECT_TRUE(fs::is_directory(root_ / "config" / "velmora")) << "made for the first save";
}

TEST_F(ProfileLocation, InAReadOnlyFolder) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser writes into read-only folders";
    const ScopedEnv xdg("XDG_CONFIG_HOME", (root_ / "config").string());
    fs::permissions(root_ / "bin", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(ProfileLocationFor((root_ / "bin" / "velmora").string()),
              (root_ / "config" / "velmora" / "velmora.ini"));
}

TEST_F(ProfileLocation, HomeConfigWithoutXdgConfigHome) {
    const ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
    const ScopedEnv home("HOME", (root_ / "home").string());
    EXPECT_EQ(ProfileLocationFor((root_ / "missing" / "velmora").string()),
              (root_ / "home" / ".config" / "velmora" / "velmora.ini"));

    // A relative XDG_CONFIG_HOME is to be ignored, as the XDG base directory rules say.
    const ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(ProfileLocationFor((root_ / "missing" / "velmora").string()),
              (root_ / "home" / ".config" / "velmora" / "velmora.ini"));
}

TEST_F(ProfileLocation, BesideTheExecutableWhenThereIsNoUserFolder) {
    const ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
    const ScopedEnv home("HOME", std::nullopt);
    const fs::path exe = root_ / "missing" / "velmora";
    EXPECT_EQ(ProfileLocationFor(exe.string()), (root_ / "missing" / "velmora.ini").string());
}

} // namespace
