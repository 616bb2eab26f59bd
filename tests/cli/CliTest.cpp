// velmora-card: command dispatch, exit statuses, messages, and the convert command's output.
#include "cli/Cli.h"

#include "CliTestSupport.h"
#include "card/Background.h"
#include "cli/PictureReaders.h"
#include "gif/GIFImage.h"
#include "graphics/Bitmap.h"
#include "graphics/Stream.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace cli {
namespace {

namespace fs = std::filesystem;
const fs::path kCorpus = fs::path(VELMORA_CORPUS_DIR) / "bmp";

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

std::vector<uint32_t> PixelsOfFile(const fs::path& path) {
    graphics::TBitmap bitmap;
    bitmap.ReadFromFile(path.string());
    return clitest::Pixels(bitmap);
}

class CliTest : public clitest::ProgramTest {
  protected:
    CliTest() : ProgramTest("velmora-cli-") {}

    int Convert(const fs::path& picture, const fs::path& output) {
        return Run({"convert", picture.string(), output.string()});
    }
};

// ---- convert ----------------------------------------------------------------------------------

TEST_F(CliTest, ConvertWritesA24BitBottomUpFileWithTheSamePixels) {
    for (const char* name : {"g/rgb24.bmp", "g/pal8.bmp", "g/pal4rle.bmp", "g/pal8topdown.bmp",
                             "g/rgb16-565.bmp", "g/pal8os2.bmp", "g/pal1wb.bmp"}) {
        SCOPED_TRACE(name);
        const fs::path output = dir_ / "out.bmp";
        ASSERT_EQ(Convert(kCorpus / name, output), kExitSuccess) << err_.str();
        EXPECT_EQ(err_.str(), "");
        const std::vector<uint8_t> file = ReadFile(output);
        ASSERT_GE(file.size(), 54u);
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(Le32(file, 2), file.size());   // file size
        EXPECT_EQ(Le32(file, 10), 54u);          // pixels right after the two headers
        EXPECT_EQ(Le32(file, 14), 40u);          // information header
        EXPECT_EQ(int32_t(Le32(file, 22)), 64);  // positive height: bottom-up
        EXPECT_EQ(file[28] | file[29] << 8, 24); // bits per pixel
        EXPECT_EQ(Le32(file, 30), 0u);           // uncompressed
        EXPECT_EQ(Le32(file, 46), 0u);           // no colour table
        EXPECT_EQ(file.size(), 54u + size_t((Le32(file, 18) * 3 + 3) & ~3u) * 64u);
        EXPECT_EQ(PixelsOfFile(output), PixelsOfFile(kCorpus / name));
    }
}

TEST_F(CliTest, ConvertKeepsTheRowBytesOfA24BitFile) {
    const fs::path output = dir_ / "copy.bmp";
    ASSERT_EQ(Convert(kCorpus / "g/rgb24.bmp", output), kExitSuccess);
    const std::vector<uint8_t> source = ReadFile(kCorpus / "g/rgb24.bmp");
    const std::vector<uint8_t> copy = ReadFile(output);
    const size_t sourcePixels = Le32(source, 10);
    ASSERT_EQ(source.size() - sourcePixels, copy.size() - 54);
    EXPECT_TRUE(std::equal(copy.begin() + 54, copy.end(), source.begin() + long(sourcePixels)));
}

TEST_F(CliTest, EndingsAreComparedWithoutCase) {
    const fs::path picture = dir_ / "Picture.BMP";
    fs::copy_file(kCorpus / "g/pal8.bmp", picture);
    EXPECT_EQ(Convert(picture, dir_ / "out.bmp"), kExitSuccess) << err_.str();
    EXPECT_NE(FindPictureReader("a.Bmp"), nullptr);
    EXPECT_EQ(FindPictureReader("a.bmp")->ending, "bmp");
    EXPECT_EQ(FindPictureReader("dir.bmp/picture"), nullptr);
    EXPECT_EQ(FindPictureReader("bmp"), nullptr);
    EXPECT_EQ(FindPictureReader("picture.bmp.txt"), nullptr);
}

// A GIF is read as Find reads it: its first frame, whatever follows it.
TEST_F(CliTest, ConvertWritesTheFirstFrameOfAGif) {
    const fs::path gifs = fs::path(VELMORA_CORPUS_DIR) / "gif";
    for (const char* name : {"ancell-pygif-test-suite/animation.gif", "giflib/pic/welcome2.gif",
                             "giflib/pic/treescap-interlaced.gif"}) {
        SCOPED_TRACE(name);
        gif::TGIFImage image;
        image.ReadFromFile((gifs / name).string());
        if (std::string(name).starts_with("ancell")) {
            ASSERT_EQ(image.Images().Count(), 4); // four frames; only the first counts
        }
        graphics::TBitmap first;
        first.CopyFrom(image.Bitmap());

        const fs::path picture = dir_ / (std::string("Upper.") + "GIF");
        fs::copy_file(gifs / name, picture, fs::copy_options::overwrite_existing);
        const fs::path output = dir_ / "frame.bmp";
        ASSERT_EQ(Convert(picture, output), kExitSuccess) << err_.str();
        EXPECT_EQ(err_.str(), "");
        graphics::TBitmap written;
        written.ReadFromFile(output.string());
        ASSERT_EQ(written.Width(), first.Width());
        ASSERT_EQ(written.Height(), first.Height());
        EXPECT_EQ(clitest::Pixels(written), clitest::Pixels(first));
    }
}

TEST_F(CliTest, EveryEndingFindReadsIsKnownToConvertAndListed) {
    for (const char* name : {"a.jpg", "a.JPEG", "a.gif", "a.bmp"}) {
        const PictureReader* reader = FindPictureReader(name);
        ASSERT_NE(reader, nullptr) << name;
        EXPECT_EQ(reader->reader, card::ReaderForFileName(name)) << name;
    }
    EXPECT_EQ(Run({"--help"}), kExitSuccess);
    EXPECT_NE(out_.str().find("\npictures: bmp, jpg, jpeg, gif\n"), std::string::npos)
        << out_.str();
    EXPECT_NE(out_.str().find("--background PICTURE    the picture: bmp, jpg, jpeg or gif; fitted "
                              "unless 495 x 315\n"),
              std::string::npos)
        << out_.str();
    EXPECT_EQ(Convert(dir_ / "card.xyz", dir_ / "out.bmp"), kExitFailure);
    EXPECT_NE(err_.str().find("(known endings: bmp, jpg, jpeg, gif)"), std::string::npos)
        << err_.str();
}

TEST_F(CliTest, AReaderErrorNamesThePictureAndExitsWithOne) {
    const fs::path output = dir_ / "out.bmp";
    const fs::path bad = kCorpus / "b/badplanes.bmp";
    EXPECT_EQ(Convert(bad, output), kExitFailure);
    EXPECT_EQ(err_.str(), "velmora-card: " + bad.string() + ": Bitmap image is not valid\n");
    EXPECT_FALSE(fs::exists(output));

    const fs::path cut = kCorpus / "b/badpalettesize.bmp";
    EXPECT_EQ(Convert(cut, output), kExitFailure);
    EXPECT_EQ(err_.str(), "velmora-card: " + cut.string() + ": Stream read error\n");
}

TEST_F(CliTest, AMissingPictureIsAnOpenError) {
    const fs::path missing = dir_ / "missing.bmp";
    EXPECT_EQ(Convert(missing, dir_ / "out.bmp"), kExitFailure);
    EXPECT_EQ(err_.str().rfind("velmora-card: " + missing.string() + ": Cannot open file \"", 0),
              0u)
        << err_.str();
}

TEST_F(CliTest, AnUnknownEndingIsRefusedWithTheKnownOnes) {
    EXPECT_EQ(Convert(dir_ / "card.xyz", dir_ / "out.bmp"), kExitFailure);
    EXPECT_NE(err_.str().find("card.xyz: unknown kind of picture (known endings: bmp"),
              std::string::npos)
        << err_.str();
}

TEST_F(CliTest, AnEmptyPictureIsNotWritten) {
    const fs::path empty = dir_ / "empty.bmp";
    WriteFile(empty, {});
    EXPECT_EQ(Convert(empty, dir_ / "out.bmp"), kExitFailure);
    EXPECT_EQ(err_.str(),
              "velmora-card: " + (dir_ / "out.bmp").string() + ": The picture is empty\n");
    EXPECT_FALSE(fs::exists(dir_ / "out.bmp"));
}

TEST_F(CliTest, AFailedWriteLeavesAnExistingFileAndNoTemporaryBehind) {
    // The output is a directory: the write cannot replace it.
    const fs::path output = dir_ / "taken.bmp";
    fs::create_directory(output);
    WriteFile(output / "keep", {1, 2, 3});
    EXPECT_EQ(Convert(kCorpus / "g/pal8.bmp", output), kExitFailure);
    EXPECT_EQ(err_.str().rfind("velmora-card: " + output.string() + ": ", 0), 0u) << err_.str();
    EXPECT_EQ(ReadFile(output / "keep"), (std::vector<uint8_t>{1, 2, 3}));
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_))
        ++entries;
    EXPECT_EQ(entries, 1u);

    EXPECT_EQ(Convert(kCorpus / "g/pal8.bmp", dir_ / "no-such-dir" / "out.bmp"), kExitFailure);
    EXPECT_NE(err_.str().find("Cannot create file"), std::string::npos) << err_.str();
}

// ---- The command line -------------------------------------------------------------------------

TEST_F(CliTest, UsageErrorsExitWithTwoAndAUsageLine) {
    EXPECT_EQ(Run({}), kExitUsage);
    EXPECT_NE(err_.str().find("usage: velmora-card COMMAND"), std::string::npos);
    EXPECT_EQ(Run({"convert", "only-one.bmp"}), kExitUsage);
    EXPECT_EQ(err_.str(), "usage: velmora-card convert PICTURE OUT.bmp\n");
    EXPECT_EQ(Run({"convert", "a.bmp", "b.bmp", "c.bmp"}), kExitUsage);
    EXPECT_EQ(err_.str(), "usage: velmora-card convert PICTURE OUT.bmp\n");
    EXPECT_EQ(Run({"paint"}), kExitUsage);
    EXPECT_EQ(err_.str().rfind("velmora-card: unknown command \"paint\"\n", 0), 0u);
    EXPECT_EQ(out_.str(), "");
}

TEST_F(CliTest, HelpGoesToStandardOutput) {
    EXPECT_EQ(Run({"--help"}), kExitSuccess);
    for (const Command& command : Commands())
        EXPECT_NE(out_.str().find(std::string(command.name)), std::string::npos);
    EXPECT_EQ(err_.str(), "");
}

TEST_F(CliTest, TheProgramReportsItsExitStatus) {
    const auto status = [](const std::string& args) {
        return clitest::ExitStatusOf(std::string(VELMORA_CARD_EXE) + " " + args + " 2>/dev/null");
    };
    EXPECT_EQ(
        status("convert " + (kCorpus / "g/pal8.bmp").string() + " " + (dir_ / "o.bmp").string()),
        kExitSuccess);
    EXPECT_TRUE(fs::exists(dir_ / "o.bmp"));
    EXPECT_EQ(status("convert " + (kCorpus / "b/badwidth.bmp").string() + " " +
                     (dir_ / "p.bmp").string()),
              kExitFailure);
    EXPECT_EQ(status("convert"), kExitUsage);
}

} // namespace
} // namespace cli
