#include "platform/Profile.h"

#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using platform::GetPrivateProfileStringA;
using platform::WritePrivateProfileStringA;

class ProfileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("velmora-profile-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        file_ = folder_ / "velmora.ini";
    }
    void TearDown() override {
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder_);
    }

    void WriteFile(const std::string& text) const {
        std::ofstream(file_, std::ios::binary) << text;
    }
    std::string FileText() const {
        std::ifstream in(file_, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string Read(std::string_view section, std::string_view key,
                     std::string_view fallback = "") const {
        std::array<char, 2048> buffer{};
        const uint32_t count = GetPrivateProfileStringA(section, key, fallback, buffer, file_);
        EXPECT_EQ(buffer[count], '\0');
        return std::string(buffer.data(), count);
    }

    fs::path folder_;
    fs::path file_;
};

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(Read("User", "CALLID"), "");
    EXPECT_EQ(Read("User", "CALLID", "none"), "none");
    EXPECT_EQ(Read("User", "CALLID", "  padded  "), "  padded")
        << "trailing blanks of a default go";
    EXPECT_FALSE(fs::exists(file_)) << "reading never creates the file";

    WriteFile("[Other]\nCALLID=K1ABC\n[User]\nName=Ann\n");
    EXPECT_EQ(Read("User", "CALLID", "x"), "x") << "a key of another section does not count";
    EXPECT_EQ(Read("Missing", "Name", "y"), "y");
}

TEST_F(ProfileTest, NamesMatchWithoutCaseAndBlanksAroundValuesAreDropped) {
    WriteFile("; station data\n[ user ]\r\n  callid =  DL1XYZ \t\r\nName=Bob Smith\nEmpty=\n");
    EXPECT_EQ(Read("User", "CALLID"), "DL1XYZ");
    EXPECT_EQ(Read("USER", "name"), "Bob Smith") << "inner blanks stay";
    EXPECT_EQ(Read("User", "Empty", "default"), "") << "an empty value is a value";
}

TEST_F(ProfileTest, FirstSectionAndFirstKeyWin) {
    WriteFile("[User]\nRIG=first\nRIG=second\n[User]\nRIG=third\n");
    EXPECT_EQ(Read("User", "RIG"), "first");
    ASSERT_TRUE(WritePrivateProfileStringA("User", "RIG", "new", file_));
    EXPECT_EQ(FileText(), "[User]\nRIG=new\nRIG=second\n[User]\nRIG=third\n");
}

TEST_F(ProfileTest, WriteCreatesFileAndSectionAndKeepsOtherLines) {
    ASSERT_TRUE(WritePrivateProfileStringA("User", "CALLID", "K1ABC", file_));
    EXPECT_EQ(FileText(), "[User]\nCALLID=K1ABC\n");

    ASSERT_TRUE(WritePrivateProfileStringA("User", "Country", "USA", file_));
    ASSERT_TRUE(WritePrivateProfileStringA("user", "callid", "W2XYZ", file_));
    EXPECT_EQ(FileText(), "[User]\ncallid=W2XYZ\nCountry=USA\n");

    WriteFile("; kept\n[User]\nCALLID=A\n\n[Radio]\nBand=20m\n");
    ASSERT_TRUE(WritePrivateProfileStringA("User", "PWR", "100", file_));
    ASSERT_TRUE(WritePrivateProfileStringA("Log", "Last", "today", file_));
    EXPECT_EQ(FileText(),
              "; kept\n[User]\nCALLID=A\nPWR=100\n\n[Radio]\nBand=20m\n[Log]\nLast=today\n")
        << "a new key goes after the section's last entry, a new section at the end";
}

TEST_F(ProfileTest, RoundTripOfEmptyAndPaddedValues) {
    ASSERT_TRUE(WritePrivateProfileStringA("User", "TKS", "", file_));
    ASSERT_TRUE(WritePrivateProfileStringA("User", "PWR", "  100  ", file_));
    EXPECT_EQ(Read("User", "TKS", "fallback"), "");
    EXPECT_EQ(Read("User", "PWR"), "100");
}

TEST_F(ProfileTest, LineBreaksInAValueCannotInjectKeys) {
    ASSERT_TRUE(WritePrivateProfileStringA("User", "Name", "Ann\n[Evil]\nCALLID=X", file_));
    EXPECT_EQ(Read("User", "Name"), "Ann [Evil] CALLID=X");
    EXPECT_EQ(Read("Evil", "CALLID", "none"), "none");
}

TEST_F(ProfileTest, LongValuesAreCutToTheBufferWithoutSplittingUtf8) {
    // 2046 ASCII bytes and then "é" (two bytes): the cut at 2047 would fall inside it.
    const std::string value = std::string(2046, 'a') + "\xC3\xA9" + "tail";
    ASSERT_TRUE(WritePrivateProfileStringA("User", "TKS", value, file_));
    EXPECT_EQ(Read("User", "TKS"), std::string(2046, 'a'));

    const std::string ascii(3000, 'b');
    ASSERT_TRUE(WritePrivateProfileStringA("User", "TKS", ascii, file_));
    EXPECT_EQ(Read("User", "TKS").size(), 2047u);

    std::array<char, 4> small{};
    EXPECT_EQ(GetPrivateProfileStringA("User", "TKS", "", small, file_), 3u);
    EXPECT_STREQ(small.data(), "bbb");
    EXPECT_EQ(GetPrivateProfileStringA("User", "TKS", "", std::span<char>{}, file_), 0u);
}

TEST_F(ProfileTest, ReplacementIsAtomicAndLeavesNoTemporaryFiles) {
    WriteFile("[User]\nCALLID=A\n");
    ::chmod(file_.c_str(), 0640);
    struct stat before {};
    ASSERT_EQ(::stat(file_.c_str(), &before), 0);
    ASSERT_TRUE(WritePrivateProfileStringA("User", "CALLID", "B", file_));
    struct stat after {};
    ASSERT_EQ(::stat(file_.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "the file is replaced, not rewritten in place";
    EXPECT_EQ(after.st_mode & 0777, 0640u) << "permission bits carry over";
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder_))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(ProfileTest, WriteThroughASymlinkReplacesItsTarget) {
    const fs::path real = folder_ / "real.ini";
    std::ofstream(real) << "[User]\nCALLID=A\n";
    fs::create_symlink(real, file_);
    ASSERT_TRUE(WritePrivateProfileStringA("User", "CALLID", "B", file_));
    EXPECT_TRUE(fs::is_symlink(file_));
    EXPECT_EQ(Read("User", "CALLID"), "B");
}

TEST_F(ProfileTest, RefusedWritesReportFailureAndKeepTheFile) {
    // A path through a regular file can never be written, whoever runs the test.
    const fs::path blocker = folder_ / "not-a-folder";
    std::ofstream(blocker) << "x";
    errno = 0;
    EXPECT_FALSE(WritePrivateProfileStringA("User", "CALLID", "A", blocker / "velmora.ini"));
    EXPECT_EQ(errno, ENOTDIR);

    EXPECT_FALSE(WritePrivateProfileStringA("User", "", "A", file_));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_FALSE(WritePrivateProfileStringA("Us]er", "CALLID", "A", file_));
    EXPECT_FALSE(fs::exists(file_));
}

TEST_F(ProfileTest, ReadOnlyFolderAndFileRefuseWrites) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission bits do not bind the superuser";
    WriteFile("[User]\nCALLID=A\n");
    ::chmod(file_.c_str(), 0444);
    errno = 0;
    EXPECT_FALSE(WritePrivateProfileStringA("User", "CALLID", "B", file_));
    EXPECT_EQ(errno, EACCES);
    ::chmod(file_.c_str(), 0644);

    ::chmod(folder_.c_str(), 0555);
    EXPECT_FALSE(WritePrivateProfileStringA("User", "CALLID", "B", file_));
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(Read("User", "CALLID"), "A");
}

} // namespace
