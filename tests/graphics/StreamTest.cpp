// Streams and the assignment error of persistent objects.
#include "graphics/Stream.h"

#include "graphics/Exceptions.h"
#include "platform/Kernel.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace graphics {
namespace {

TEST(MemoryStream, ReadsWritesAndSeeks) {
    TMemoryStream s;
    const uint8_t data[] = {1, 2, 3, 4, 5};
    s.WriteBuffer(data);
    EXPECT_EQ(s.Size(), 5);
    EXPECT_EQ(s.Position(), 5);
    s.SetPosition(1);
    uint8_t two[2];
    s.ReadBuffer(two);
    EXPECT_EQ(two[0], 2);
    EXPECT_EQ(two[1], 3);
    EXPECT_EQ(s.Seek(-1, soEnd), 4);
    EXPECT_EQ(s.ReadUInt8(), 5);
    // Writing past the end grows the stream.
    s.SetPosition(7);
    s.WriteBuffer(data);
    EXPECT_EQ(s.Size(), 12);
    EXPECT_EQ(s.Memory()[6], 0);
}

TEST(MemoryStream, ShortReadsRaiseReadError) {
    TMemoryStream s(std::vector<uint8_t>{1, 2, 3});
    uint8_t four[4];
    try {
        s.ReadBuffer(four);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.message(), "Stream read error");
    }
    s.SetPosition(0);
    EXPECT_EQ(s.Read(four), 3);
    EXPECT_EQ(s.Read(four), 0);
}

TEST(MemoryStream, LittleEndianHelpers) {
    TMemoryStream s(std::vector<uint8_t>{0x42, 0x4D, 0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(s.ReadUInt16LE(), 0x4D42);
    EXPECT_EQ(s.ReadUInt32LE(), 0x12345678u);
    EXPECT_THROW(s.ReadUInt8(), EReadError);
}

TEST(MemoryStream, CopyFromAnotherStream) {
    TMemoryStream source(std::vector<uint8_t>{9, 8, 7, 6});
    TMemoryStream target;
    EXPECT_EQ(target.CopyFrom(source, 0), 4);
    EXPECT_EQ(target.Size(), 4);
    source.SetPosition(1);
    EXPECT_THROW(target.CopyFrom(source, 4), EReadError);
}

class FileStreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("velmora-stream-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
};

TEST_F(FileStreamTest, WritesAndReadsBack) {
    const std::string path = (dir / "a.bin").string();
    {
        TFileStream out(path, fmCreate);
        const uint8_t bytes[] = {10, 20, 30};
        out.WriteBuffer(bytes);
    }
    TFileStream in(path, fmOpenRead);
    EXPECT_EQ(in.Size(), 3);
    uint8_t back[3];
    in.ReadBuffer(back);
    EXPECT_EQ(back[2], 30);
    EXPECT_THROW(in.ReadUInt8(), EReadError);
}

TEST_F(FileStreamTest, MissingFileNamesTheFullPath) {
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    try {
        TFileStream in("missing.bmp", fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        const std::string expected =
            "Cannot open file \"" + (dir / "missing.bmp").string() + "\". ";
        EXPECT_EQ(e.message().substr(0, expected.size()), expected);
        EXPECT_GT(e.message().size(), expected.size()); // the system's text follows
    }
    std::filesystem::current_path(cwd);
}

TEST_F(FileStreamTest, UncreatableFileRaisesCreateError) {
    EXPECT_THROW(TFileStream((dir / "no" / "such" / "x.jpg").string(), fmCreate), EFCreateError);
    EXPECT_THROW(TFileStream(dir.string(), fmOpenRead), EFOpenError);
}

TEST(PlatformErrors, OutOfResourcesUsesTheLastErrorText) {
    platform::SetLastError(0);
    try {
        RaiseOutOfResources();
        FAIL();
    } catch (const EOutOfResources& e) {
        EXPECT_EQ(e.message(), "Out of system resources");
    }
    platform::SetLastError(platform::ERROR_NOT_ENOUGH_MEMORY);
    try {
        RaiseOutOfResources();
        FAIL();
    } catch (const EOutOfResources& e) {
        EXPECT_EQ(e.message(), platform::SystemErrorText(platform::ERROR_NOT_ENOUGH_MEMORY));
        EXPECT_FALSE(e.message().empty());
    }
}

TEST(PlatformErrors, BitmapCreationErrorDependsOnTheCode) {
    platform::SetLastError(0);
    EXPECT_THROW(RaiseBitmapCreationError(), EInvalidGraphic);
    platform::SetLastError(platform::ERROR_INVALID_PARAMETER);
    try {
        RaiseBitmapCreationError();
        FAIL();
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode(), platform::ERROR_INVALID_PARAMETER);
        EXPECT_EQ(e.message(), "System Error.  Code: 87.\r\n" +
                                   platform::SystemErrorText(platform::ERROR_INVALID_PARAMETER));
    }
    platform::SetLastError(0);
}

} // namespace
} // namespace graphics
