// The reader against pictures and expectations written elsewhere: Robert Ancell's GIF test
// suite (first frame), giflib's regression pictures and giflib 5.2.1's decoding checksums for
// every GIF of the corpus, and the go-fuzz seeds, which must load or fail cleanly.
#include "gif/GIFImage.h"
#include "graphics/Bitmap.h"
#include "support/Md5.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using gif::TGIFImage;

namespace {

const fs::path kCorpus = VELMORA_CORPUS_DIR;
const fs::path kAncell = kCorpus / "gif" / "ancell-pygif-test-suite";

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// INI sections of a .conf file: section -> key -> value.
std::map<std::string, std::map<std::string, std::string>> ReadConf(const fs::path& path) {
    std::map<std::string, std::map<std::string, std::string>> out;
    std::ifstream in(path);
    std::string line, section;
    const auto trim = [](std::string s) {
        s.erase(0, s.find_first_not_of(" \t\r"));
        s.erase(s.find_last_not_of(" \t\r") + 1);
        return s;
    };
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            out[section][trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
    }
    return out;
}

std::vector<std::string> Names(const fs::path& dir, const std::string& extension) {
    std::vector<std::string> names;
    if (fs::is_directory(dir))
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.is_regular_file() &&
                (extension.empty() || entry.path().extension() == extension))
                names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The colours of a frame's pixels: its local table, else the global one; indices beyond the
// table are black.
std::array<uint8_t, 3> ColorOf(const TGIFImage& image, const gif::TGIFSubImage& frame,
                               uint8_t index) {
    const gif::TGIFColorMap& map = frame.ColorMap().Count() > 0
                                       ? static_cast<const gif::TGIFColorMap&>(frame.ColorMap())
                                       : image.Header().ColorMap();
    if (index >= map.Count())
        return {0, 0, 0};
    return {map[index].Red, map[index].Green, map[index].Blue};
}

// The bitmap's pixels as R, G, B, through a 32-bit copy.
std::vector<std::array<uint8_t, 3>> PixelsOf(graphics::TBitmap& bitmap) {
    graphics::TBitmap copy;
    copy.CopyFrom(&bitmap);
    copy.SetPixelFormat(graphics::pf32bit);
    std::vector<std::array<uint8_t, 3>> out;
    for (int y = 0; y < copy.Height(); ++y) {
        const auto row = copy.RowAddress(y);
        for (int x = 0; x < copy.Width(); ++x)
            out.push_back({row[size_t(x) * 4 + 2], row[size_t(x) * 4 + 1], row[size_t(x) * 4]});
    }
    return out;
}

} // namespace

// ---- Ancell suite -----------------------------------------------------------------------------

namespace {

// Files the suite accepts that this reader rejects on purpose, with the reason:
// - the looping block must hold exactly the loop sub-block and the terminator; a following
//   buffering sub-block fails it;
// - an extension label not in the registry fails the load instead of being skipped;
// - a zero-size frame takes the screen's size, and these frames come without image data, so
//   the trailer is read as the code size or the data ends.
const std::map<std::string, std::string> kStrictRejections = {
    {"loop-animexts", gif::sInvalidData},        {"loop-buffer", gif::sInvalidData},
    {"loop-buffer_max", gif::sInvalidData},      {"unknown-extension", gif::sUnknownExtension},
    {"image-zero-width", gif::sInvalidCodeSize}, {"image-zero-height", gif::sPrematureEnd},
    {"image-zero-size", gif::sPrematureEnd},
};

// Files the suite rejects that this reader loads on purpose: the code after a clear is output
// as it stands and codes at or beyond the next free slot take the KwKwK path (invalid-code);
// indices beyond the colour table are kept (invalid-colors); plain text is not drawn, the
// image is (plain-text).
const std::set<std::string> kLenientLoads = {"invalid-code", "invalid-colors", "plain-text"};

// The suite's first frame is the composite of the images up to the first one with a delay
// (every image on its own when the animation is forced). A pixel of the first image shows in
// it unless a later image of that group covers it with an opaque pixel.
std::vector<bool> CoveredLater(const TGIFImage& image, bool forceAnimation) {
    const gif::TGIFSubImage& first = image.SubImage(0);
    std::vector<bool> covered(first.DataSize(), false);
    const auto delayOf = [&](int i) {
        const auto* gce = image.SubImage(i).GraphicControlExtension();
        return gce ? gce->Delay() : 0;
    };
    if (forceAnimation || delayOf(0) > 0)
        return covered;
    for (int i = 1; i < image.Count(); ++i) {
        const gif::TGIFSubImage& later = image.SubImage(i);
        const auto* gce = later.GraphicControlExtension();
        const int transparent = later.HasTransparency() && gce ? gce->TransparentColorIndex() : -1;
        for (int y = 0; y < later.Height() && !later.Empty(); ++y)
            for (int x = 0; x < later.Width(); ++x) {
                if (later.PixelData()[size_t(y * later.Width() + x)] == transparent)
                    continue;
                const int fx = later.Left() + x - first.Left();
                const int fy = later.Top() + y - first.Top();
                if (fx >= 0 && fy >= 0 && fx < first.Width() && fy < first.Height())
                    covered[size_t(fy * first.Width() + fx)] = true;
            }
        if (delayOf(i) > 0)
            break;
    }
    return covered;
}

} // namespace

class AncellSuite : public ::testing::TestWithParam<std::string> {};

TEST_P(AncellSuite, FirstFrameMatches) {
    const std::string name = GetParam();
    auto conf = ReadConf(kAncell / (name + ".conf"));
    const std::vector<uint8_t> bytes = ReadFile(kAncell / conf["config"]["input"]);
    ASSERT_FALSE(bytes.empty());
    const std::string frames = conf["config"]["frames"];
    TGIFImage image;

    if (const auto strict = kStrictRejections.find(name); strict != kStrictRejections.end()) {
        try {
            image.LoadFromBytes(bytes);
            FAIL() << "loaded";
        } catch (const gif::GIFException& e) {
            EXPECT_EQ(e.message(), strict->second);
        }
        return;
    }
    if (frames.empty() && !kLenientLoads.count(name)) {
        // Invalid, or no image: a clean failure, or nothing to show.
        try {
            image.LoadFromBytes(bytes);
            EXPECT_TRUE(image.Count() == 0 || image.SubImage(0).Empty());
        } catch (const gif::GIFException&) {
        }
        return;
    }

    ASSERT_NO_THROW(image.LoadFromBytes(bytes));
    if (frames.empty()) {
        ASSERT_GE(image.Count(), 1);
        ASSERT_NE(image.Bitmap(), nullptr);
        return;
    }
    EXPECT_EQ(image.Width(), std::stoi(conf["config"]["width"]));
    EXPECT_EQ(image.Height(), std::stoi(conf["config"]["height"]));
    if (image.Count() == 0) {
        // The suite shows an empty, transparent screen (no-data); there is nothing to draw.
        EXPECT_EQ(image.Bitmap(), nullptr);
        return;
    }
    const std::string firstFrame = frames.substr(0, frames.find(','));
    const std::vector<uint8_t> expected = ReadFile(kAncell / conf[firstFrame]["pixels"]);
    const int w = image.Width();
    const int h = image.Height();
    ASSERT_EQ(expected.size(), size_t(w) * size_t(h) * 4);

    const gif::TGIFSubImage& frame = image.SubImage(0);
    const gif::TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
    const int transparent = frame.HasTransparency() && gce ? gce->TransparentColorIndex() : -1;
    const auto pixels = frame.PixelData();
    const std::vector<bool> covered =
        CoveredLater(image, conf["config"]["force-animation"] == "yes");
    graphics::TBitmap* bitmap = image.Bitmap();
    ASSERT_NE(bitmap, nullptr);
    const auto shown = PixelsOf(*bitmap);
    const bool wholeScreen = frame.Width() == w && frame.Height() == h;
    const gif::TGIFColorMap& map = frame.ColorMap().Count() > 0
                                       ? static_cast<const gif::TGIFColorMap&>(frame.ColorMap())
                                       : image.Header().ColorMap();
    for (int fy = 0; fy < frame.Height(); ++fy)
        for (int fx = 0; fx < frame.Width(); ++fx) {
            // The suite composites the frame at its place; our bitmap shows a screen-sized
            // frame unshifted and a smaller one at its place on white.
            const int sx = frame.Left() + fx;
            const int sy = frame.Top() + fy;
            const size_t at = size_t(fy) * size_t(frame.Width()) + size_t(fx);
            if (sx >= w || sy >= h || covered[at])
                continue;
            const uint8_t* want = &expected[(size_t(sy) * size_t(w) + size_t(sx)) * 4];
            const uint8_t index = pixels[at];
            if (want[3] == 0) {
                ASSERT_EQ(index, transparent) << "clear pixel " << sx << "," << sy;
                continue;
            }
            const auto color = ColorOf(image, frame, index);
            ASSERT_EQ(color, (std::array<uint8_t, 3>{want[0], want[1], want[2]}))
                << "pixel " << sx << "," << sy << " index " << int(index);
            // The plain path leaves indices beyond the table to the platform's colour.
            const int bx = wholeScreen ? fx : sx;
            const int by = wholeScreen ? fy : sy;
            if (index < map.Count()) {
                ASSERT_EQ(shown[size_t(by) * size_t(w) + size_t(bx)], color)
                    << "bitmap pixel " << bx << "," << by;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Gif, AncellSuite, ::testing::ValuesIn([] {
                             std::vector<std::string> names;
                             for (const std::string& f : Names(kAncell, ".conf"))
                                 names.push_back(f.substr(0, f.size() - 5));
                             return names;
                         }()),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return n;
                         });

TEST(AncellSuiteCoverage, AllTestsArePresent) {
    EXPECT_EQ(Names(kAncell, ".conf").size(), 84u);
}

// ---- giflib -----------------------------------------------------------------------------------

namespace {

// giflib's gif2rgb picture: a screen filled with the background index, every frame's indices
// drawn in file order (clipped to the screen), mapped through the last frame's local table or
// else the global one.
std::vector<uint8_t> Composite(const TGIFImage& image) {
    const size_t w = size_t(image.Width());
    const size_t h = size_t(image.Height());
    std::vector<uint8_t> screen(w * h, image.Header().Descriptor().BackgroundColorIndex);
    const gif::TGIFColorMap* map = &image.Header().ColorMap();
    for (int i = 0; i < image.Count(); ++i) {
        const gif::TGIFSubImage& frame = image.SubImage(i);
        if (frame.Empty())
            continue;
        for (int y = 0; y < frame.Height(); ++y)
            for (int x = 0; x < frame.Width(); ++x) {
                const size_t sx = size_t(frame.Left() + x);
                const size_t sy = size_t(frame.Top() + y);
                if (sx < w && sy < h)
                    screen[sy * w + sx] = frame.PixelData()[size_t(y * frame.Width() + x)];
            }
        if (frame.ColorMap().Count() > 0)
            map = &frame.ColorMap();
        else
            map = &image.Header().ColorMap();
    }
    std::vector<uint8_t> rgb;
    rgb.reserve(w * h * 3);
    for (uint8_t index : screen) {
        const gif::TGIFColor c = index < map->Count() ? (*map)[index] : gif::TGIFColor{};
        rgb.insert(rgb.end(), {c.Red, c.Green, c.Blue});
    }
    return rgb;
}

} // namespace

TEST(GiflibPictures, CompositeEqualsTheReferenceRgb) {
    const fs::path dir = kCorpus / "gif" / "giflib";
    int checked = 0;
    for (const std::string& name : Names(dir / "pic", ".gif")) {
        const std::string stem = name.substr(0, name.size() - 4);
        const fs::path reference = dir / "tests" / (stem + ".rgb");
        if (!fs::exists(reference))
            continue;
        TGIFImage image;
        ASSERT_NO_THROW(image.LoadFromBytes(ReadFile(dir / "pic" / name))) << name;
        EXPECT_EQ(Composite(image), ReadFile(reference)) << name;
        ASSERT_NE(image.Bitmap(), nullptr) << name;
        ++checked;
    }
    EXPECT_EQ(checked, 8);
}

TEST(GiflibChecksums, EveryPictureGiflibDecodesDecodesTheSame) {
    std::ifstream in(kCorpus / "gif" / "derived-giflib-5.2.1" / "RESULTS.tsv");
    ASSERT_TRUE(in) << "RESULTS.tsv";
    std::string line;
    int compared = 0;
    std::vector<std::string> mismatches;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("file\t", 0) == 0)
            continue;
        std::vector<std::string> cols;
        std::stringstream ss(line);
        for (std::string col; std::getline(ss, col, '\t');)
            cols.push_back(col);
        if (cols.size() < 4 || cols[1] != "0")
            continue;
        TGIFImage image;
        const std::string stem = fs::path(cols[0]).stem().string();
        const bool strict =
            cols[0].find("ancell") != std::string::npos && kStrictRejections.count(stem) > 0;
        try {
            image.LoadFromBytes(ReadFile(kCorpus / cols[0]));
        } catch (const gif::GIFException& e) {
            if (!strict)
                mismatches.push_back(cols[0] + ": " + e.message());
            continue;
        }
        const std::vector<uint8_t> rgb = Composite(image);
        if (std::to_string(rgb.size()) != cols[2] || testsupport::Md5Hex(rgb) != cols[3])
            mismatches.push_back(cols[0]);
        ++compared;
    }
    EXPECT_GT(compared, 150);
    std::string list;
    for (const std::string& m : mismatches)
        list += "\n  " + m;
    EXPECT_TRUE(mismatches.empty()) << mismatches.size() << " differ:" << list;
}

TEST(Md5, KnownDigests) {
    EXPECT_EQ(testsupport::Md5Hex({}), "d41d8cd98f00b204e9800998ecf8427e");
    const std::string abc = "abc";
    EXPECT_EQ(testsupport::Md5Hex(std::span(reinterpret_cast<const uint8_t*>(abc.data()), 3)),
              "900150983cd24fb0d6963f7d28e17f72");
}

// ---- Fuzz seeds -------------------------------------------------------------------------------

namespace {

const fs::path kFuzzSeeds = kCorpus / "fuzz" / "go-fuzz-corpus" / "gif";

// Every seed file below the folder, as a path relative to it.
std::vector<std::string> FuzzSeedNames() {
    std::vector<std::string> names;
    if (fs::is_directory(kFuzzSeeds))
        for (const auto& entry : fs::recursive_directory_iterator(kFuzzSeeds))
            if (entry.is_regular_file())
                names.push_back(fs::relative(entry.path(), kFuzzSeeds).string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

class FuzzSeeds : public ::testing::TestWithParam<std::string> {};

TEST(FuzzSeedCoverage, AllSeedsArePresent) {
    EXPECT_EQ(FuzzSeedNames().size(), 587u);
}

TEST_P(FuzzSeeds, LoadOrFailCleanly) {
    const std::vector<uint8_t> bytes = ReadFile(kFuzzSeeds / GetParam());
    TGIFImage image;
    try {
        image.LoadFromBytes(bytes);
        // The first frame's picture has the logical screen's size, or none at all.
        graphics::TBitmap* bitmap = image.Bitmap();
        if (bitmap && !bitmap->IsEmpty()) {
            EXPECT_EQ(bitmap->Width(), image.Width());
            EXPECT_EQ(bitmap->Height(), image.Height());
        }
    } catch (const gif::GIFException&) {
        // A clean rejection.
    }
}

INSTANTIATE_TEST_SUITE_P(GoFuzz, FuzzSeeds, ::testing::ValuesIn(FuzzSeedNames()),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return n;
                         });

// ---- Our own regression files -----------------------------------------------------------------

namespace {

const fs::path kRegressions = fs::path(VELMORA_TEST_DATA_DIR) / "gif";

std::unique_ptr<TGIFImage> ReadRegression(const std::string& name) {
    auto image = std::make_unique<TGIFImage>();
    image->ReadFromFile((kRegressions / name).string());
    return image;
}

} // namespace

TEST(GIFRegressions, TwelveBitCodesOverOneByteSubBlocks) {
    auto image = ReadRegression("one-byte-sub-blocks.gif");
    ASSERT_EQ(image->Count(), 1);
    const auto pixels = image->SubImage(0).PixelData();
    for (size_t i = 0; i < pixels.size(); ++i)
        ASSERT_EQ(pixels[i], (i * 7) % 251) << i;
}

TEST(GIFRegressions, CodesBeyondAFullFrameAreNotReadAsBlocks) {
    // The surplus sub-blocks have the length 0x2C, the image separator.
    std::vector<std::string> warnings;
    auto image = std::make_unique<TGIFImage>();
    image->WarningHandler = [&](graphics::TPersistent&, int, const std::string& m) {
        warnings.push_back(m);
    };
    image->ReadFromFile((kRegressions / "extra-codes-in-0x2c-sub-blocks.gif").string());
    ASSERT_EQ(image->Count(), 2);
    EXPECT_EQ(image->SubImage(1).PixelData()[0], 3);
    EXPECT_EQ(image->SubImage(1).PixelData()[1], 2);
    EXPECT_TRUE(warnings.empty());
}

TEST(GIFRegressions, EarlyEndCodeLeavesTheNextExtensionAlone) {
    auto image = ReadRegression("early-end-code-then-extension.gif");
    ASSERT_EQ(image->Count(), 2);
    const auto first = image->SubImage(0).PixelData();
    EXPECT_EQ(std::vector<uint8_t>(first.begin(), first.end()),
              (std::vector<uint8_t>{1, 2, 3, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(image->SubImage(1).Extensions().Count(), 1);
    EXPECT_EQ(image->SubImage(1).PixelData()[0], 2);
}

TEST(GIFRegressions, LoopingTableChainIsAnErrorNotAnOverrun) {
    try {
        ReadRegression("table-entries-naming-each-other.gif");
        FAIL();
    } catch (const gif::GIFException& e) {
        EXPECT_EQ(e.message(), gif::sCircularTableEntry);
    }
}

TEST(GIFRegressions, GigapixelFrameIsRefusedBeforeAllocation) {
    try {
        ReadRegression("frame-of-4-gigapixels.gif");
        FAIL();
    } catch (const gif::GIFException& e) {
        EXPECT_EQ(e.message(), gif::sImageNotValid);
    }
}

TEST(GIFRegressions, MissingFileIsAnOpenError) {
    TGIFImage image;
    EXPECT_THROW(image.ReadFromFile((kRegressions / "no-such-file.gif").string()),
                 graphics::EFOpenError);
}
