// Whole-file writes: which step a failure is charged to (the callers' messages depend on it),
// what survives a failure, and that nothing temporary is ever left in the folder.
#include "platform/AtomicFile.h"

#include "support/FileSizeLimit.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform::CreateFileAtomically;
using platform::FileStep;
using platform::OldPermissions;
using platform::ReplaceFileAtomically;

class AtomicFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("velmora-atomic-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    static void Put(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Text(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder_;
};

std::span<const uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST_F(AtomicFileTest, ReplacingGivesANewFileWithTheOldPermissionsThroughLinks) {
    const fs::path real = folder_ / "real.ini";
    const fs::path link = folder_ / "profile.ini";
    Put(real, "old");
    ::chmod(real.c_str(), 0604);
    fs::create_symlink(real, link);
    struct stat before {};
    ASSERT_EQ(::stat(real.c_str(), &before), 0);

    EXPECT_FALSE(ReplaceFileAtomically(link, Bytes("new contents"), OldPermissions::Required));
    struct stat after {};
    ASSERT_EQ(::stat(real.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "renamed into place, not rewritten";
    EXPECT_EQ(after.st_mode & 07777, 0604u);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Text(real), "new contents");
    // A file that is not there yet is simply made.
    EXPECT_FALSE(ReplaceFileAtomically(folder_ / "new.bin", Bytes(""), OldPermissions::IfPossible));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"new.bin", "profile.ini", "real.ini"}));
}

TEST_F(AtomicFileTest, ReplacingChargesEachFailureToItsStepAndKeepsTheOldFile) {
    fs::create_directory(folder_ / "folder");
    auto failure = ReplaceFileAtomically(folder_ / "folder", Bytes("x"), OldPermissions::Required);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->step, FileStep::Create);
    EXPECT_EQ(failure->error, EISDIR);

    Put(folder_ / "plain", "x");
    failure =
        ReplaceFileAtomically(folder_ / "plain" / "a.jpg", Bytes("x"), OldPermissions::IfPossible);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->step, FileStep::Create);
    EXPECT_EQ(failure->error, ENOTDIR);

    const fs::path card = folder_ / "card.jpg";
    Put(card, "old card");
    const std::string large(8192, 'z');
    failure = testsupport::UnderFileSizeLimit(4096, [&] {
        return ReplaceFileAtomically(card, Bytes(large), OldPermissions::IfPossible);
    });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->step, FileStep::Write);
    EXPECT_EQ(failure->error, EFBIG);
    EXPECT_EQ(Text(card), "old card");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"card.jpg", "folder", "plain"}));
}

TEST_F(AtomicFileTest, CreatingNeverReplacesAnythingAndLeavesNothingHalfWritten) {
    const fs::path card = folder_ / "card.jpg";
    EXPECT_FALSE(CreateFileAtomically(card, Bytes("first")));
    EXPECT_EQ(Text(card), "first");

    // A file, a dangling link and a folder under the name all stay as they are.
    fs::create_symlink(folder_ / "nowhere", folder_ / "link.jpg");
    fs::create_directory(folder_ / "folder.jpg");
    for (const char* name : {"card.jpg", "link.jpg", "folder.jpg"}) {
        const auto failure = CreateFileAtomically(folder_ / name, Bytes("second"));
        ASSERT_TRUE(failure) << name;
        EXPECT_EQ(failure->step, FileStep::Create) << name;
        EXPECT_EQ(failure->error, EEXIST) << name;
    }
    EXPECT_EQ(Text(card), "first");
    EXPECT_FALSE(fs::exists(folder_ / "nowhere"));

    auto failure = CreateFileAtomically(folder_ / "missing" / "card.jpg", Bytes("x"));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->step, FileStep::Create);
    EXPECT_EQ(failure->error, ENOENT);

    const std::string large(8192, 'z');
    failure = testsupport::UnderFileSizeLimit(
        4096, [&] { return CreateFileAtomically(folder_ / "cut.jpg", Bytes(large)); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->step, FileStep::Write);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"card.jpg", "folder.jpg", "link.jpg"}));
    EXPECT_TRUE(platform::SyncFolder(folder_));
    EXPECT_FALSE(platform::SyncFolder(folder_ / "missing"));
}

} // namespace
