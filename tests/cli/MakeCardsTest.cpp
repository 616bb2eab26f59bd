// Making cards on the command line: the mapping from a log record to the card, file names and
// clashes, the station profile, the options, the exit status, the progress line, and whole runs
// whose cards are compared with the window's own composition of the same data.
#include "cli/MakeCards.h"

#include "CliTestSupport.h"
#include "card/Background.h"
#include "card/CardComposer.h"
#include "cli/CardCommand.h"
#include "cli/CardWriter.h"
#include "cli/Cli.h"
#include "cli/Progress.h"
#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "graphics/Stream.h"
#include "jpeg/JPEGImage.h"
#include "platform/AtomicFile.h"
#include "support/Files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace cli {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using testsupport::WriteText;

struct DecodedCard {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

DecodedCard DecodeJpeg(const fs::path& path) {
    jpeg::TJPEGImage picture;
    picture.ReadFromFile(path.string());
    DecodedCard card{picture.Width(), picture.Height(), {}};
    card.pixels = clitest::Pixels(picture.Bitmap());
    return card;
}

// The card as the main window makes it: Find's loading and fitting into a fresh 495 x 315
// card, DrawBoxes on the card canvas, Save As through the JPEG picture.
std::vector<uint8_t> WindowCardBytes(const std::string& background, const card::CardData& data) {
    card::BackgroundObjects objects;
    const graphics::TBitmap& work = card::LoadBackground(objects, background);
    graphics::TBitmap cardBitmap;
    cardBitmap.CopyFrom(&work);
    card::DrawBoxes(cardBitmap.Canvas(), data);
    jpeg::TJPEGImage picture;
    picture.CopyFrom(&cardBitmap);
    graphics::TMemoryStream stream;
    picture.SaveToStream(stream);
    const auto memory = stream.Memory();
    return {memory.begin(), memory.end()};
}

constexpr std::string_view kProfile = "[User]\n"
                                      "CALLID=DL9OWN\n"
                                      "Country=Germany\n"
                                      "Name=Hans Muster\n"
                                      "Addr=Hauptstr. 1\n"
                                      "City=Berlin\n"
                                      "State=BE\n"
                                      "ZIP=10115\n"
                                      "RIG=IC-7300\n"
                                      "ANT=Dipole\n"
                                      "PWR= 100 \n"
                                      "TKS=Thanks for the QSO\n";

velmora::StationProfile TestProfile() {
    velmora::StationProfile p;
    p.CALLID = "DL9OWN";
    p.Country = "Germany";
    p.Name = "Hans Muster";
    p.Addr = "Hauptstr. 1";
    p.City = "Berlin";
    p.State = "BE";
    p.ZIP = "10115";
    p.RIG = "IC-7300";
    p.ANT = "Dipole";
    p.PWR = "100";
    p.TKS = "Thanks for the QSO";
    return p;
}

// Three contacts and one damaged record between them.
constexpr std::string_view kLog =
    "Test log\n<ADIF_VER:5>3.1.4 <EOH>\n"
    "<CALL:6>DL1ABC <QSO_DATE:8>20261207 <TIME_ON:4>1432 <FREQ:6>14.074 <RST_SENT:3>599 "
    "<MODE:4>MFSK <SUBMODE:3>FT4 <NAME:5>J\xC3\xBCrg <EOR>\n"
    "<CALL:5>G4XYZ <QSO_DATE:8>20261208 <TIME_ON:6>090000 <FREQ:5>7.030 <RST_SENT:3>579 "
    "<MODE:2>CW <QSL_SENT:1>Y <EOR>\n"
    "<CALL:4>BAD1 <FREQ:x>1 <EOR>\n"
    "<CALL:8>W1AW/QRP <QSO_DATE:8>20261209 <TIME_ON:4>2359 <FREQ:5>3.573 <RST_SENT:3>-10 "
    "<MODE:3>FT8 <STATION_CALLSIGN:6>DL0XYZ <OPERATOR:6>DL2OPR <EOR>\n";

class MakeCardsTest : public clitest::ProgramTest {
  protected:
    MakeCardsTest() : ProgramTest("velmora-cards-") {}

    void SetUp() override {
        ProgramTest::SetUp();
        WriteText(dir_ / "station.ini", kProfile);
        WriteText(dir_ / "log.adi", kLog);
    }

    // A picture larger than the card, so it is fitted: 990 x 500, left half red, right half
    // blue, written as a JPEG.
    fs::path MakeLargePicture() {
        graphics::TBitmap picture;
        picture.SetSize(990, 500);
        picture.Canvas().Brush().SetColor(0x0000C0);
        picture.Canvas().FillArea({0, 0, 495, 500});
        picture.Canvas().Brush().SetColor(0xC00000);
        picture.Canvas().FillArea({495, 0, 990, 500});
        jpeg::TJPEGImage encoded;
        encoded.CopyFrom(&picture);
        const fs::path path = dir_ / "large.jpg";
        encoded.WriteToFile(path.string());
        return path;
    }

    std::vector<std::string> CardFiles(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// Runs with another current folder and goes back afterwards.
class CurrentFolder {
  public:
    explicit CurrentFolder(const fs::path& folder) : previous_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~CurrentFolder() { fs::current_path(previous_); }

  private:
    fs::path previous_;
};

// ---- From a record to the card ------------------------------------------------------------

TEST(CardMappingTest, ARecordFillsTheContactAndTheProfileTheOwnStation) {
    const std::vector<adif::Record> records = adif::ParseAdi(kLog);
    ASSERT_EQ(records.size(), 4u);
    const card::CardData data =
        CardDataFor(ContactFromRecord(records[0], kDefaultDateFormat), TestProfile());
    EXPECT_EQ(data.contactedStation, "DL1ABC");
    EXPECT_EQ(data.contactedOperator, "J\xC3\xBCrg");
    EXPECT_EQ(data.date, "2026-12-07");
    EXPECT_EQ(data.utc, "1432");
    EXPECT_EQ(data.frequency, "14.074");
    EXPECT_EQ(data.rst, "599");
    EXPECT_EQ(data.mode, "FT4"); // SUBMODE before MODE
    EXPECT_EQ(data.callSign, "DL9OWN");
    EXPECT_EQ(data.operatorName, "Hans Muster");
    EXPECT_EQ(data.country, "Germany");
    EXPECT_EQ(data.qth, "Hauptstr. 1");
    EXPECT_EQ(data.city, "Berlin");
    EXPECT_EQ(data.state, "BE");
    EXPECT_EQ(data.zip, "10115");
    EXPECT_EQ(data.rig, "IC-7300");
    EXPECT_EQ(data.antenna, "Dipole");
    EXPECT_EQ(data.power, "100");
    EXPECT_EQ(data.thanks, "Thanks for the QSO");
    EXPECT_EQ(data.textColor, graphics::clBlack);
    EXPECT_EQ(data.callIdFont.size, 24);
    EXPECT_EQ(data.callIdFont.color, graphics::clBlack);
    EXPECT_EQ(data.callIdFont.name, graphics::TFont().Name());

    const card::CardData second =
        CardDataFor(ContactFromRecord(records[1], kDefaultDateFormat), TestProfile());
    EXPECT_EQ(second.mode, "CW");
    EXPECT_EQ(second.utc, "0900"); // HHMMSS shown as HHMM
    EXPECT_EQ(second.contactedOperator, "");
}

TEST(CardMappingTest, StationCallsignThenOperatorReplaceTheOwnCallSign) {
    const std::vector<adif::Record> records =
        adif::ParseAdi("<CALL:1>A<STATION_CALLSIGN:6>DL0XYZ<OPERATOR:6>DL2OPR<EOR>"
                       "<CALL:1>B<OPERATOR:6>DL2OPR<EOR>"
                       "<CALL:1>C<STATION_CALLSIGN:0><EOR>");
    ASSERT_EQ(records.size(), 3u);
    const auto ownCall = [&](const adif::Record& record) {
        return CardDataFor(ContactFromRecord(record, kDefaultDateFormat), TestProfile()).callSign;
    };
    EXPECT_EQ(ownCall(records[0]), "DL0XYZ");
    EXPECT_EQ(ownCall(records[1]), "DL2OPR");
    EXPECT_EQ(ownCall(records[2]), "DL9OWN");
}

TEST(CardMappingTest, DatesFollowThePatternAndOddValuesStayAsTheyAre) {
    EXPECT_EQ(FormatQsoDate("20261207", "YYYY-MM-DD"), "2026-12-07");
    EXPECT_EQ(FormatQsoDate("20261207", "DD.MM.YYYY"), "07.12.2026");
    EXPECT_EQ(FormatQsoDate("20261207", "MM/DD/YY"), "12/07/26");
    EXPECT_EQ(FormatQsoDate("20261207", "YYYYMMDD"), "20261207");
    EXPECT_EQ(FormatQsoDate("2026-12-07", "DD.MM.YYYY"), "2026-12-07");
    EXPECT_EQ(FormatQsoDate("", "DD.MM.YYYY"), "");
    EXPECT_TRUE(IsDatePattern("DD.MM.YYYY"));
    EXPECT_FALSE(IsDatePattern("date"));
    EXPECT_EQ(FormatTimeOn("1432"), "1432");
    EXPECT_EQ(FormatTimeOn("143259"), "1432");
    EXPECT_EQ(FormatTimeOn("14:32"), "14:32");
    EXPECT_EQ(FormatTimeOn("14325"), "14325");
}

TEST(StationProfileTest, ReadsTheWindowsSectionAndKeysAndAMissingFileIsEmpty) {
    const fs::path path =
        fs::temp_directory_path() / ("velmora-profile-" + std::to_string(::getpid()) + ".ini");
    WriteText(path, "[Other]\nCALLID=WRONG\n[user]\ncallid = DL9OWN \nPWR=5\n"
                    "TKS=" +
                        std::string(3000, 'x') + "\n");
    const velmora::StationProfile profile = ReadStationProfile(path);
    EXPECT_EQ(profile.CALLID, "DL9OWN");
    EXPECT_EQ(profile.PWR, "5");
    EXPECT_EQ(profile.TKS, std::string(2047, 'x'));
    EXPECT_EQ(profile.Country, "");
    fs::remove(path);
    EXPECT_EQ(ReadStationProfile(path), velmora::StationProfile{});
    EXPECT_EQ(DefaultProfilePath("/opt/velmora/bin/velmora-card"),
              fs::path("/opt/velmora/bin/velmora.ini"));
}

// ---- File names ---------------------------------------------------------------------------

TEST(CardNameTest, PartsKeepLettersDigitsAndDashesOnly) {
    EXPECT_EQ(SanitizeNamePart("DL1ABC/P"), "DL1ABC_P");
    EXPECT_EQ(SanitizeNamePart("../../etc/x"), "______etc_x");
    EXPECT_EQ(SanitizeNamePart("EA-8 x"), "EA-8_x");
    EXPECT_EQ(SanitizeNamePart("\xC3\x96"
                               "E1\xE2\x82\xAC"),
              "_E1_");                             // one '_' per character
    EXPECT_EQ(SanitizeNamePart("\xFF\x80"), "__"); // stray bytes one each
    const std::vector<adif::Record> records =
        adif::ParseAdi("<CALL:8>W1AW/QRP<QSO_DATE:8>20261209<TIME_ON:6>235901<EOR>");
    EXPECT_EQ(CardBaseName(records.at(0)), "W1AW_QRP_20261209_235901");
}

TEST_F(MakeCardsTest, ClashesGetSuffixesAndEarlierFilesAreKept) {
    WriteText(dir_ / "A_1_2.jpg", "earlier");
    CardNamer namer(dir_, ExistingFiles::Keep);
    std::error_code error;
    EXPECT_EQ(namer.Claim("A_1_2", error), dir_ / "A_1_2_2.jpg");
    EXPECT_EQ(namer.Claim("A_1_2", error), dir_ / "A_1_2_3.jpg");
    EXPECT_EQ(namer.Claim("B_1_2", error), dir_ / "B_1_2.jpg");
    EXPECT_EQ(ReadBytes(dir_ / "A_1_2.jpg").size(), 7u);
    // A dangling link is something of that name too; choosing a name makes no file.
    fs::create_symlink(dir_ / "nowhere", dir_ / "C_1_2.jpg");
    EXPECT_EQ(namer.Claim("C_1_2", error), dir_ / "C_1_2_2.jpg");
    EXPECT_FALSE(fs::exists(dir_ / "B_1_2.jpg"));

    CardNamer overwriting(dir_, ExistingFiles::Overwrite);
    EXPECT_EQ(overwriting.Claim("A_1_2", error), dir_ / "A_1_2.jpg");
    EXPECT_EQ(overwriting.Claim("A_1_2", error), dir_ / "A_1_2_2.jpg"); // never within one run

    // A name the folder cannot hold is refused, not taken for free.
    EXPECT_EQ(namer.Claim(std::string(300, 'A'), error), std::nullopt);
    EXPECT_TRUE(error);
}

TEST_F(MakeCardsTest, ARunKeepsEarlierCardsUnlessToldToOverwrite) {
    const fs::path cards = dir_ / "cards";
    fs::create_directories(cards);
    WriteText(cards / "DL1ABC_20261207_1432.jpg", "earlier");
    const std::vector<std::string> args{
        "--adif",    (dir_ / "log.adi").string(),     "--out",        cards.string(),
        "--profile", (dir_ / "station.ini").string(), "--background", MakeLargePicture().string()};
    Run(args);
    EXPECT_EQ(ReadBytes(cards / "DL1ABC_20261207_1432.jpg").size(), 7u);
    EXPECT_TRUE(fs::exists(cards / "DL1ABC_20261207_1432_2.jpg"));

    std::vector<std::string> overwrite = args;
    overwrite.push_back("--overwrite");
    Run(overwrite);
    EXPECT_GT(ReadBytes(cards / "DL1ABC_20261207_1432.jpg").size(), 1000u);
    EXPECT_EQ(CardFiles(cards).size(), 4u); // three cards, one of them twice, nothing else
}

// ---- Whole runs ---------------------------------------------------------------------------

TEST_F(MakeCardsTest, ALogMakesTheWindowsCardsAndADamagedRecordFailsTheRun) {
    const fs::path picture = MakeLargePicture();
    const fs::path cards = dir_ / "new" / "cards";
    ASSERT_EQ(Run({"--adif", (dir_ / "log.adi").string(), "--background", picture.string(), "--out",
                   cards.string(), "--profile", (dir_ / "station.ini").string()}),
              kExitFailure);
    EXPECT_EQ(CardFiles(cards),
              (std::vector<std::string>{"DL1ABC_20261207_1432.jpg", "G4XYZ_20261208_090000.jpg",
                                        "W1AW_QRP_20261209_2359.jpg"}));
    const std::string damaged = (dir_ / "log.adi").string() + ": record 3 at byte " +
                                std::to_string(kLog.find("<FREQ:x>")) + ": ";
    EXPECT_NE(err_.str().find(damaged), std::string::npos) << err_.str();
    EXPECT_NE(out_.str().find("3 cards written to " + cards.string()), std::string::npos)
        << out_.str();
    EXPECT_NE(out_.str().find("1 damaged record skipped"), std::string::npos) << out_.str();

    // The same data through the window's own steps gives the same file, byte for byte.
    card::CardData expected = CardDataFor(Contact{}, TestProfile());
    expected.contactedStation = "W1AW/QRP";
    expected.date = "2026-12-09";
    expected.utc = "2359";
    expected.frequency = "3.573";
    expected.rst = "-10";
    expected.mode = "FT8";
    expected.callSign = "DL0XYZ";
    const std::vector<uint8_t> window = WindowCardBytes(picture.string(), expected);
    EXPECT_EQ(ReadBytes(cards / "W1AW_QRP_20261209_2359.jpg"), window);

    // Each card decodes to the card's size and differs from the fitted picture alone (saved
    // the same way) where the table is drawn.
    const DecodedCard plain = [&] {
        card::BackgroundObjects objects;
        jpeg::TJPEGImage encoded;
        encoded.CopyFrom(&card::LoadBackground(objects, picture.string()));
        encoded.WriteToFile((dir_ / "plain.jpg").string());
        return DecodeJpeg(dir_ / "plain.jpg");
    }();
    for (const std::string& name : CardFiles(cards)) {
        SCOPED_TRACE(name);
        const DecodedCard decoded = DecodeJpeg(cards / name);
        ASSERT_EQ(decoded.width, 495);
        ASSERT_EQ(decoded.height, 315);
        ASSERT_EQ(decoded.pixels.size(), plain.pixels.size());
        // Black bands of the fitting above and below: 990 x 500 is drawn 495 x 250.
        EXPECT_EQ(decoded.pixels[0] & 0xF0F0F0, 0u);
        const auto differs = [&](int x, int y) {
            const uint32_t a = decoded.pixels[size_t(y) * 495 + size_t(x)];
            const uint32_t b = plain.pixels[size_t(y) * 495 + size_t(x)];
            int sum = 0;
            for (int shift : {0, 8, 16})
                sum += std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF));
            return sum > 60;
        };
        size_t table = 0;
        for (int y = 250; y < 300; ++y)
            for (int x = 50; x < 470; ++x)
                table += differs(x, y);
        EXPECT_GT(table, 1000u);
        // Above the thanks line and right of the address block nothing is drawn.
        size_t empty = 0;
        for (int y = 180; y < 222; ++y)
            for (int x = 300; x < 490; ++x)
                empty += differs(x, y);
        EXPECT_EQ(empty, 0u);
    }
}

TEST_F(MakeCardsTest, OnlyUnsentSkipsConfirmedContactsWithoutFailing) {
    WriteText(dir_ / "sent.adi", "<CALL:5>G4XYZ<QSL_SENT:1>Y<EOR>"
                                 "<CALL:5>F5ABC<QSL_SENT:1>n<EOR>"
                                 "<CALL:5>K1ABC<QSL_SENT:1>y<EOR>"
                                 "<CALL:5>EA1AB<EOR>");
    const fs::path cards = dir_ / "cards";
    fs::copy_file(fs::path(VELMORA_DATA_DIR) / "blankcard.jpg", dir_ / "blankcard.jpg");
    const CurrentFolder inside(dir_);
    EXPECT_EQ(
        Run({"--adif", "sent.adi", "--out", "cards", "--only-unsent", "--profile", "station.ini"}),
        kExitSuccess)
        << err_.str();
    EXPECT_EQ(CardFiles(cards), (std::vector<std::string>{"EA1AB__.jpg", "F5ABC__.jpg"}));
    EXPECT_NE(out_.str().find("2 already sent, skipped"), std::string::npos) << out_.str();
    EXPECT_EQ(Run({"--adif", "sent.adi", "--out", "all", "--profile", "station.ini"}),
              kExitSuccess);
    EXPECT_EQ(CardFiles(dir_ / "all").size(), 4u);
}

TEST_F(MakeCardsTest, WithoutABackgroundTheBlankCardIsUsedAtItsOwnSize) {
    fs::copy_file(fs::path(VELMORA_DATA_DIR) / "blankcard.jpg", dir_ / "blankcard.jpg");
    WriteText(dir_ / "one.adi", "<CALL:6>DL1ABC<QSO_DATE:8>20261207<TIME_ON:4>1432<EOR>");
    {
        const CurrentFolder inside(dir_);
        ASSERT_EQ(Run({"--adif", "one.adi", "--out", "cards", "--date-format", "DD.MM.YYYY",
                       "--profile", "station.ini"}),
                  kExitSuccess)
            << err_.str();
    }
    card::CardData expected = CardDataFor(Contact{}, TestProfile());
    expected.contactedStation = "DL1ABC";
    expected.date = "07.12.2026";
    expected.utc = "1432";
    card::BackgroundObjects objects;
    graphics::TBitmap cardBitmap;
    cardBitmap.CopyFrom(&card::LoadBlankCard(objects, (dir_ / "blankcard.jpg").string()));
    card::DrawBoxes(cardBitmap.Canvas(), expected);
    jpeg::TJPEGImage picture;
    picture.CopyFrom(&cardBitmap);
    const fs::path expectedFile = dir_ / "expected.jpg";
    picture.WriteToFile(expectedFile.string());
    EXPECT_EQ(ReadBytes(dir_ / "cards" / "DL1ABC_20261207_1432.jpg"), ReadBytes(expectedFile));
}

TEST_F(MakeCardsTest, AMissingBlankCardOrPictureMakesNoCards) {
    const CurrentFolder inside(dir_);
    if (FindBlankCard(ExecutablePath())) // an installed copy would be found after the folder
        GTEST_SKIP() << "a blank card is installed";
    EXPECT_EQ(Run({"--adif", "log.adi", "--out", "cards", "--profile", "station.ini"}),
              kExitFailure);
    EXPECT_NE(err_.str().find("blankcard.jpg: the blank card is in none of blankcard.jpg"),
              std::string::npos)
        << err_.str();
    EXPECT_FALSE(fs::exists(dir_ / "cards"));
    EXPECT_EQ(Run({"--adif", "log.adi", "--out", "cards", "--background", "missing.gif",
                   "--profile", "station.ini"}),
              kExitFailure);
    EXPECT_NE(err_.str().find("missing.gif: "), std::string::npos) << err_.str();
    EXPECT_EQ(Run({"--adif", "log.adi", "--out", "cards", "--background", "picture.tiff",
                   "--profile", "station.ini"}),
              kExitFailure);
    EXPECT_NE(err_.str().find("is not a JPEG, GIF or BMP file"), std::string::npos) << err_.str();
    EXPECT_FALSE(fs::exists(dir_ / "cards"));
}

TEST_F(MakeCardsTest, ACardThatCannotBeWrittenIsReportedAndTheOthersAreMade) {
    const fs::path picture = MakeLargePicture();
    const fs::path cards = dir_ / "cards";
    // A folder in the way of the first card's name: its claim finds the name taken and moves
    // on, while with --overwrite the writer is refused and the run fails.
    fs::create_directories(cards / "DL1ABC_20261207_1432.jpg");
    EXPECT_EQ(Run({"--adif", (dir_ / "log.adi").string(), "--background", picture.string(), "--out",
                   cards.string(), "--overwrite", "--profile", (dir_ / "station.ini").string()}),
              kExitFailure);
    EXPECT_NE(err_.str().find((cards / "DL1ABC_20261207_1432.jpg").string() + ": "),
              std::string::npos)
        << err_.str();
    EXPECT_TRUE(fs::exists(cards / "G4XYZ_20261208_090000.jpg"));
    EXPECT_TRUE(fs::exists(cards / "W1AW_QRP_20261209_2359.jpg"));
    EXPECT_NE(out_.str().find("1 card could not be written"), std::string::npos) << out_.str();
}

TEST_F(MakeCardsTest, OneCardFromOptions) {
    const fs::path picture = MakeLargePicture();
    const fs::path output = dir_ / "card.jpg";
    const std::vector<std::string> args{"--call",       "dl1abc",
                                        "--date",       "2026-12-07",
                                        "--utc",        "1432",
                                        "--mhz",        "14.074",
                                        "--rst",        "599",
                                        "--mode",       "FT8",
                                        "--op",         "Anna",
                                        "--background", picture.string(),
                                        "--profile",    (dir_ / "station.ini").string(),
                                        "-o",           output.string()};
    ASSERT_EQ(Run(args), kExitSuccess) << err_.str();
    card::CardData expected = CardDataFor(Contact{}, TestProfile());
    expected.contactedStation = "dl1abc";
    expected.contactedOperator = "Anna";
    expected.date = "2026-12-07";
    expected.utc = "1432";
    expected.frequency = "14.074";
    expected.rst = "599";
    expected.mode = "FT8";
    EXPECT_EQ(ReadBytes(output), WindowCardBytes(picture.string(), expected));

    // The card is there now: it is kept unless --overwrite is given.
    WriteText(output, "mine");
    EXPECT_EQ(Run(args), kExitFailure);
    EXPECT_NE(err_.str().find("exists already"), std::string::npos) << err_.str();
    EXPECT_EQ(ReadBytes(output).size(), 4u);
    std::vector<std::string> overwrite = args;
    overwrite.push_back("--overwrite");
    EXPECT_EQ(Run(overwrite), kExitSuccess) << err_.str();
    EXPECT_EQ(ReadBytes(output), WindowCardBytes(picture.string(), expected));
}

// A background smaller than the card is fitted like a larger one, so the table lands on the
// card; a picture of exactly the card's size goes in unchanged.
TEST_F(MakeCardsTest, ABackgroundOfAnySizeIsFittedToTheCard) {
    for (const auto& [w, h] :
         {std::pair{200, 100}, std::pair{320, 240}, std::pair{50, 50}, std::pair{495, 315}}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        graphics::TBitmap picture;
        picture.SetSize(w, h);
        picture.Canvas().Brush().SetColor(0x00C000);
        picture.Canvas().FillArea({0, 0, w, h});
        const fs::path path = dir_ / ("small" + std::to_string(w) + ".bmp");
        picture.WriteToFile(path.string());
        const fs::path output = dir_ / ("card" + std::to_string(w) + ".jpg");
        const std::vector<std::string> args{
            "--call",       "DL1ABC",       "--date",    "2026-12-07",
            "--utc",        "1432",         "--mhz",     "14.074",
            "--rst",        "599",          "--mode",    "FT8",
            "--background", path.string(),  "--profile", (dir_ / "station.ini").string(),
            "-o",           output.string()};
        ASSERT_EQ(Run(args), kExitSuccess) << err_.str();
        const DecodedCard card = DecodeJpeg(output);
        EXPECT_EQ(card.width, 495);
        EXPECT_EQ(card.height, 315);
        // 200 x 100 is drawn 495 x 247 with black bands above and below, 50 x 50 is drawn
        // 315 x 315 with bands at the sides; the others cover the corner.
        const uint32_t topLeft = card.pixels[0] & 0xF0F0F0;
        if (w == 200 || w == 50)
            EXPECT_EQ(topLeft, 0u);
        else
            EXPECT_NE(topLeft, 0u);
    }
}

// ---- The command line ---------------------------------------------------------------------

TEST_F(MakeCardsTest, OptionErrorsExitWithTwoAndWriteNothing) {
    const std::string log = (dir_ / "log.adi").string();
    const std::string out = (dir_ / "cards").string();
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases{
        {{"--adif", log}, "--adif: needs --out DIR"},
        {{"--adif", log, "--out", out, "--call", "X"}, "give one"},
        {{"--adif", log, "--out", out, "--mhz", "7"}, "--mhz: is for one card"},
        {{"--call", "X", "-o", "c.jpg", "--only-unsent"}, "--only-unsent: is for cards from a"},
        {{"--call", "X"}, "--call: needs -o"},
        {{"--adif", log, "--out"}, "--out: needs a value (DIR)"},
        {{"--adif", log, "--adif", log, "--out", out}, "--adif: given twice"},
        {{"--adif", log, "--out", out, "--colour", "red"}, "--colour: unknown option"},
        {{"--adif", log, "--out", out, "--date-format", "day"}, "names no part of a date"},
        {{"--overwrite=yes"}, "--overwrite: takes no value"},
        {{"--adif", log, "--out", out, "--jobs", "0"}, "--jobs: \"0\" is not a number from 1"},
        {{"--adif", log, "--out", out, "--jobs", "17"}, "--jobs: \"17\" is not a number"},
        {{"--adif", log, "--out", out, "--jobs", "2x"}, "--jobs: \"2x\" is not a number"},
        {{"--call", "X", "-o", "c.jpg", "--jobs", "2"}, "--jobs: is for cards from a"},
        {{"--profile", "p.ini"}, "nothing to make"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(Run(c.args), kExitUsage);
        EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
        EXPECT_NE(err_.str().find("usage: velmora-card --adif LOG --out DIR"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(dir_ / "cards"));
    // A value may follow '='.
    EXPECT_EQ(Run({"--adif=" + log, "--out=" + out, "--profile=" + (dir_ / "none.ini").string()}),
              kExitFailure);
    EXPECT_NE(err_.str().find("no such station profile"), std::string::npos) << err_.str();
    // A log that cannot be read fails before anything is made.
    const std::string profile = (dir_ / "station.ini").string();
    EXPECT_EQ(Run({"--adif", dir_.string(), "--out", out, "--profile", profile}), kExitFailure);
    EXPECT_NE(err_.str().find("is a folder, not a log"), std::string::npos) << err_.str();
    EXPECT_EQ(Run({"--adif", (dir_ / "none.adi").string(), "--out", out, "--profile", profile}),
              kExitFailure);
    EXPECT_NE(err_.str().find("cannot open the log"), std::string::npos) << err_.str();
    EXPECT_FALSE(fs::exists(dir_ / "cards"));
}

// Cards composed on several threads are the cards of one thread: the same names (clashes
// included, in the order of the log), the same bytes, the same sent log.
TEST_F(MakeCardsTest, SeveralComposersMakeTheSameCardsAsOne) {
    std::string log = "<ADIF_VER:5>3.1.4 <EOH>\n";
    for (int i = 0; i < 40; ++i) {
        // Every fourth contact repeats the name of the one before it.
        const int n = i - (i % 4 == 3 ? 1 : 0);
        const std::string call = "DL" + std::to_string(n % 7) + "AB" + char('A' + n % 26);
        const std::string time = std::to_string(1000 + n);
        log += "<CALL:" + std::to_string(call.size()) + ">" + call +
               " <QSO_DATE:8>20261207 <TIME_ON:4>" + time + " <FREQ:6>14.074 <MODE:3>FT8 <EOR>\n";
    }
    WriteText(dir_ / "many.adi", log);
    const std::string picture = MakeLargePicture().string();
    const auto run = [&](const std::string& jobs, const std::string& perCard) {
        const fs::path cards = dir_ / ("cards-" + jobs + "-" + perCard);
        const fs::path sent = dir_ / ("sent-" + jobs + "-" + perCard + ".adi");
        EXPECT_EQ(Run({"--adif", (dir_ / "many.adi").string(), "--out", cards.string(), "--profile",
                       (dir_ / "station.ini").string(), "--background", picture, "--jobs", jobs,
                       "--per-card", perCard, "--sent-log", sent.string()}),
                  kExitSuccess)
            << err_.str();
        std::map<std::string, std::vector<uint8_t>> files;
        for (const std::string& name : CardFiles(cards))
            files[name] = ReadBytes(cards / name);
        std::string sentLog;
        for (const uint8_t byte : ReadBytes(sent))
            sentLog += char(byte);
        // The header carries the time of the run.
        return std::pair(files, sentLog.substr(sentLog.find("<EOH>")));
    };
    for (const std::string perCard : {"1", "3"}) {
        SCOPED_TRACE("--per-card " + perCard);
        const auto one = run("1", perCard);
        const auto two = run("2", perCard);
        const auto five = run("5", perCard);
        EXPECT_GE(one.first.size(), perCard == "1" ? 40u : 10u);
        if (perCard == "1") {
            EXPECT_TRUE(one.first.contains("DL2ABC_20261207_1002_2.jpg"));
        }
        EXPECT_EQ(two.first, one.first);
        EXPECT_EQ(five.first, one.first);
        EXPECT_EQ(two.second, one.second);
        EXPECT_EQ(five.second, one.second);
    }
}

TEST_F(MakeCardsTest, HelpNamesTheModesAndWhereTheBlankCardIsLookedFor) {
    EXPECT_EQ(Run({"--help"}), kExitSuccess);
    for (const char* text : {"--adif LOG --out DIR", "--call CALL", "convert", "--only-unsent",
                             "--jobs N", "--date-format PATTERN", "blankcard.jpg", "share/velmora"})
        EXPECT_NE(out_.str().find(text), std::string::npos) << text;
    EXPECT_EQ(Run({"--adif", "x", "--help"}), kExitSuccess);
    EXPECT_NE(out_.str().find("--background PICTURE"), std::string::npos);
}

TEST(BlankCardTest, TheCurrentFolderComesFirstThenTheInstalledDataFolder) {
    const std::vector<fs::path> candidates = BlankCardCandidates("/opt/v/bin/velmora-card");
    ASSERT_GE(candidates.size(), 2u);
    EXPECT_EQ(candidates[0], fs::path("blankcard.jpg"));
    EXPECT_EQ(candidates[1], fs::path("/opt/v/share/velmora/blankcard.jpg"));
}

// ---- Progress -----------------------------------------------------------------------------

TEST(ProgressTest, TheLineShowsCountRateAndTimeLeftWithinTheWidth) {
    // Before any time has passed there is no rate; the bar takes the room the numbers leave.
    EXPECT_EQ(RenderProgress(0, 200, 0.0, 40), "[" + std::string(31, '-') + "]  0/200");
    // Half done in two seconds: 50 cards a second, two seconds left; the bar at most 40 cells.
    EXPECT_EQ(RenderProgress(100, 200, 2.0, 80), "[" + std::string(20, '#') + std::string(20, '-') +
                                                     "]  100/200  50 cards/s  ETA 0:02");
    EXPECT_EQ(RenderProgress(200, 200, 4.0, 80).find('-'), std::string::npos);
    // No room for a bar: the numbers alone, cut to the width.
    EXPECT_EQ(RenderProgress(5, 10, 1.0, 20), "5/10  5 cards/s  ETA");
    EXPECT_EQ(FormatDuration(3723), "1:02:03");
    EXPECT_EQ(FormatDuration(59.6), "1:00");
}

TEST(ProgressTest, TheBarIsDrawnOnlyOnATerminalAndAtMostTenTimesASecond) {
    double now = 0.0;
    std::ostringstream terminal;
    {
        ProgressBar bar(terminal, true, 3, 60, [&] { return now; });
        bar.Update(1);
        now = 0.05;
        bar.Update(2); // too soon after the first
        EXPECT_EQ(terminal.str().find("2/3"), std::string::npos);
        now = 0.06;
        bar.Message("a message"); // the bar is cleared, the line written, the bar drawn again
        bar.Update(3);            // the last one is always drawn
    }
    const std::string shown = terminal.str();
    size_t draws = 0;
    for (size_t at = shown.find("\r["); at != std::string::npos; at = shown.find("\r[", at + 1))
        ++draws;
    EXPECT_EQ(draws, 3u) << shown;
    const size_t message = shown.find("\r\x1b[Ka message\n");
    ASSERT_NE(message, std::string::npos) << shown;
    EXPECT_LT(shown.find("1/3"), message);
    EXPECT_GT(shown.find("2/3"), message);
    EXPECT_GT(shown.find("3/3"), shown.find("2/3"));
    EXPECT_TRUE(shown.ends_with("\r\x1b[K")); // cleared at the end

    std::ostringstream file;
    {
        ProgressBar bar(file, false, 3, 60, [&] { return now; });
        bar.Update(3);
        bar.Message("only this");
    }
    EXPECT_EQ(file.str(), "only this\n");
}

// ---- Writing ------------------------------------------------------------------------------

TEST_F(MakeCardsTest, TheWritersPutEveryCardInPlaceAndReportEachFailure) {
    std::vector<CardWriterPool::Result> results;
    {
        CardWriterPool writers(4, ExistingFiles::Keep,
                               2); // a short queue, so submitting waits for the writers
        for (int i = 0; i < 20; ++i)
            writers.Submit(dir_ / ("card" + std::to_string(i) + ".jpg"),
                           std::vector<uint8_t>(size_t(i) + 1, uint8_t(i)));
        writers.Submit(dir_ / "missing" / "card.jpg", {1, 2, 3});
        while (writers.Outstanding() > 0) {
            for (CardWriterPool::Result& result : writers.TakeResults(std::chrono::seconds(5)))
                results.push_back(std::move(result));
        }
        EXPECT_TRUE(writers.TakeResults(std::chrono::seconds(5)).empty()); // nothing to wait for
    }
    ASSERT_EQ(results.size(), 21u);
    size_t failures = 0;
    for (const CardWriterPool::Result& result : results) {
        if (result.path == dir_ / "missing" / "card.jpg") {
            ++failures;
            EXPECT_NE(result.error.find("Cannot create file"), std::string::npos) << result.error;
        } else {
            EXPECT_EQ(result.error, "");
        }
    }
    EXPECT_EQ(failures, 1u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(ReadBytes(dir_ / ("card" + std::to_string(i) + ".jpg")),
                  std::vector<uint8_t>(size_t(i) + 1, uint8_t(i)));
    // Nothing but the cards and the test's own files: no temporary file is left behind.
    EXPECT_EQ(CardFiles(dir_).size(), 22u);
}

TEST_F(MakeCardsTest, AKeptCardFileIsNeverReplacedAndNeverLeftHalfWritten) {
    const std::vector<uint8_t> card{0xFF, 0xD8, 1, 2, 3, 0xFF, 0xD9};
    PutCardFile(dir_ / "new.jpg", card, ExistingFiles::Keep);
    EXPECT_EQ(ReadBytes(dir_ / "new.jpg"), card);
    // A file that appeared under the chosen name since (another program's) is kept.
    WriteText(dir_ / "theirs.jpg", "theirs");
    EXPECT_THROW(PutCardFile(dir_ / "theirs.jpg", card, ExistingFiles::Keep),
                 graphics::EFCreateError);
    EXPECT_EQ(ReadBytes(dir_ / "theirs.jpg").size(), 6u);
    EXPECT_THROW(PutCardFile(dir_ / "missing" / "card.jpg", card, ExistingFiles::Keep),
                 graphics::EFCreateError);
    // Overwrite replaces; nothing but whole cards is left in the folder either way.
    PutCardFile(dir_ / "theirs.jpg", card, ExistingFiles::Overwrite);
    EXPECT_EQ(ReadBytes(dir_ / "theirs.jpg"), card);
    EXPECT_TRUE(platform::SyncFolder(dir_));
    EXPECT_FALSE(platform::SyncFolder(dir_ / "missing"));
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"log.adi", "new.jpg", "station.ini", "theirs.jpg"}));
}

// ---- The program --------------------------------------------------------------------------

TEST_F(MakeCardsTest, TheProgramMakesCardsAndReportsItsStatus) {
    fs::copy_file(fs::path(VELMORA_DATA_DIR) / "blankcard.jpg", dir_ / "blankcard.jpg");
    WriteText(dir_ / "good.adi", "<CALL:6>DL1ABC<QSO_DATE:8>20261207<TIME_ON:4>1432<EOR>"
                                 "<CALL:5>G4XYZ<QSO_DATE:8>20261208<TIME_ON:4>0900<EOR>");
    const auto status = [&](const std::string& args) {
        return clitest::ExitStatusOf("cd '" + dir_.string() + "' && '" + VELMORA_CARD_EXE + "' " +
                                     args + " >out.txt 2>err.txt");
    };
    EXPECT_EQ(status("--adif good.adi --out cards --profile station.ini"), kExitSuccess);
    EXPECT_EQ(CardFiles(dir_ / "cards"),
              (std::vector<std::string>{"DL1ABC_20261207_1432.jpg", "G4XYZ_20261208_0900.jpg"}));
    const std::vector<uint8_t> summary = ReadBytes(dir_ / "out.txt");
    EXPECT_NE(std::string(summary.begin(), summary.end()).find("2 cards written to cards"),
              std::string::npos);
    EXPECT_EQ(ReadBytes(dir_ / "err.txt").size(), 0u); // no bar when stderr is a file
    EXPECT_EQ(DecodeJpeg(dir_ / "cards" / "G4XYZ_20261208_0900.jpg").width, 495);

    EXPECT_EQ(status("--adif log.adi --out more --profile station.ini"), kExitFailure);
    EXPECT_EQ(CardFiles(dir_ / "more").size(), 3u);
    EXPECT_EQ(status("--call DL1ABC --utc 1432 -o one.jpg --profile station.ini"), kExitSuccess);
    EXPECT_TRUE(fs::exists(dir_ / "one.jpg"));
    EXPECT_EQ(status("--adif good.adi"), kExitUsage);
    EXPECT_EQ(status("--help"), kExitSuccess);
}

} // namespace
} // namespace cli
