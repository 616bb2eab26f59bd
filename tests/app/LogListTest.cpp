// Contacts from a log in the window: File > Open Log... with a scripted open dialog, the contact
// list, choosing contacts into the main window's fields, the filter, the date pattern, what is
// remembered after a restart (and what is not: the station profile), damaged, missing and large
// logs.
#include "AppTestSupport.h"
#include "app/loglist/ContactListWindow.h"
#include "app/loglist/LogSettings.h"
#include "app/mnVelmora.h"
#include "cli/MakeCards.h"
#include "contacts/ContactLog.h"

#include <QAction>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using apptest::ProcessEvents;
using velmora::Form1;

constexpr std::string_view kProfile = "[User]\nCALLID=DL9OWN\nName=Eva\nCountry=Germany\n"
                                      "Addr=Hauptstr. 1\nCity=Berlin\nState=BE\nZIP=10115\n"
                                      "RIG=IC-7300\nANT=Dipole\nPWR=100 W\nTKS=73 es tnx\n";

// Repeats, odd values, a damaged record and one without a call.
constexpr std::string_view kLog =
    "Exported by hand<EOH>\n"
    "<CALL:6>DL1ABC<NAME:4>Hans<QSO_DATE:8>20240105<TIME_ON:6>143207<FREQ:6>14.074"
    "<RST_SENT:3>599<MODE:4>MFSK<SUBMODE:3>FT4<QSL_SENT:1>Y<EOR>\n"
    "<call:6>dl1abc<qso_date:8>20240312<time_on:4>0915<band:3>40M<rst_sent:2>57"
    "<mode:3>SSB<EOR>\n"
    "<CALL:5>G4XYZ<FREQ:x>7<EOR>\n"
    "<CALL:5>F5ABC<NAME:7>Jo\r\nAnn<QSO_DATE:6>2024-1<TIME_ON:3>9:5<BAND:4>99cm"
    "<MODE:2>CW<EOR>\n"
    "<NAME:3>Bob<QSO_DATE:8>20240101<EOR>\n"
    "<CALL:5>K1ABC<QSO_DATE:8>20240105<TIME_ON:4>1432<FREQ:5>7.074<MODE:3>FT8"
    "<STATION_CALLSIGN:6>DL9XYZ<EOR>\n";

struct Fields {
    std::string station, operatorName, date, utc, qrg, rst, mode;
    bool operator==(const Fields&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Fields& f) {
    return out << f.station << '|' << f.operatorName << '|' << f.date << '|' << f.utc << '|'
               << f.qrg << '|' << f.rst << '|' << f.mode;
}

// A log of count contacts with calls, dates, bands and modes that vary from record to record.
std::string LargeLog(int count) {
    static const char* const kModes[] = {"SSB", "CW", "FT8", "RTTY"};
    static const char* const kFreqs[] = {"14.074", "7.030", "3.573", "21.200", "28.500"};
    std::string text = "Generated log<EOH>\n";
    text.reserve(size_t(count) * 130);
    for (int i = 0; i < count; ++i) {
        const std::string call = std::string(i % 2 ? "DL" : "K") + std::to_string(i % 10) +
                                 char('A' + i % 26) + char('A' + (i / 26) % 26) +
                                 char('A' + (i / 676) % 26);
        const std::string date = "20" + std::to_string(10 + i % 15) + "0" +
                                 std::to_string(1 + i % 9) + std::to_string(10 + i % 18);
        const std::string time = std::to_string(10000 + (i / 60) % 24 * 100 + i % 60).substr(1);
        const std::string freq = kFreqs[i % 5];
        const std::string mode = kModes[i % 4];
        const auto field = [&](const char* name, const std::string& value) {
            text += "<" + std::string(name) + ":" + std::to_string(value.size()) + ">" + value;
        };
        field("CALL", call);
        field("QSO_DATE", date);
        field("TIME_ON", time);
        field("FREQ", freq);
        field("MODE", mode);
        field("RST_SENT", "599");
        field("QSL_SENT", i % 3 ? "N" : "Y");
        text += "<EOR>\n";
    }
    return text;
}

// Screenshots for people: saved only when VELMORA_SCREENSHOT_DIR names a folder.
void SaveScreenshot(QWidget& widget, const char* name) {
    const char* folder = std::getenv("VELMORA_SCREENSHOT_DIR");
    if (folder == nullptr || *folder == '\0')
        return;
    widget.grab().save(QString::fromStdString((fs::path(folder) / name).string()));
}

class LogListTest : public apptest::AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        // The user's own settings go into this test's folder, never into the real home.
        if (const char* previous = std::getenv("XDG_CONFIG_HOME"))
            savedConfigHome_ = previous;
        ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        WriteProfileFile(std::string(kProfile));
        StartProgram();
        ASSERT_NE(Form1, nullptr);
        Form1->Show();
        ProcessEvents();
    }
    void TearDown() override {
        if (savedConfigHome_)
            ::setenv("XDG_CONFIG_HOME", savedConfigHome_->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        AppTest::TearDown();
    }

    fs::path WriteLog(const std::string& name, std::string_view text) const {
        const fs::path path = folder_ / "logs" / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary).write(text.data(), std::streamsize(text.size()));
        return path;
    }

    // File > Open Log..., the dialog answering with path; what the dialog was opened with is
    // kept in offered_.
    void OpenLog(const fs::path& path) {
        dialogs_.open.push_back([this, path](toolkit::TOpenDialog& dialog) {
            offered_ = dialog;
            dialog.FileName = path.string();
            return true;
        });
        QAction* item = Form1->findChild<QAction*>(QStringLiteral("OpenLog1"));
        ASSERT_NE(item, nullptr);
        item->trigger();
    }

    // Lets the event loop run until the list has finished loading; false after a minute.
    bool WaitForLoad() {
        QElapsedTimer timer;
        timer.start();
        while (List() != nullptr && List()->Loading()) {
            if (timer.elapsed() > 60000)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        ProcessEvents();
        return true;
    }

    loglist::ContactListWindow* List() const { return Form1->ContactList.data(); }
    QTableView& Table() const { return *List()->Table(); }

    std::string Cell(int row, contacts::Column column) const {
        return Table().model()->index(row, int(column)).data().toString().toStdString();
    }
    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        for (int row = 0; row < Table().model()->rowCount(); ++row)
            calls.push_back(Cell(row, contacts::Column::Call));
        return calls;
    }

    static Fields ContactFields() {
        return {Form1->LabeledEdit12->Text(), Form1->LabeledEdit14->Text(),
                Form1->LabeledEdit3->Text(),  Form1->LabeledEdit4->Text(),
                Form1->LabeledEdit5->Text(),  Form1->LabeledEdit6->Text(),
                Form1->LabeledEdit7->Text()};
    }
    // The own station's fields, which choosing a contact must leave as they are.
    static std::vector<std::string> StationFields() {
        std::vector<std::string> texts;
        for (toolkit::TLabeledEdit* edit :
             {Form1->LabeledEdit1, Form1->LabeledEdit2, Form1->LabeledEdit8, Form1->LabeledEdit9,
              Form1->LabeledEdit10, Form1->LabeledEdit11, Form1->LabeledEdit13,
              Form1->LabeledEdit15, Form1->LabeledEdit16, Form1->LabeledEdit17,
              Form1->LabeledEdit18})
            texts.push_back(edit->Text());
        return texts;
    }

    // Enter on row of the table.
    void PressEnterOn(int row) {
        Table().setFocus();
        Table().setCurrentIndex(Table().model()->index(row, 0));
        QTest::keyClick(&Table(), Qt::Key_Return);
    }
    void DoubleClick(int row) {
        const QRect cell = Table().visualRect(Table().model()->index(row, 0));
        // As the window system delivers it: a click, then the second press as a double click.
        QTest::mouseClick(Table().viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(Table().viewport(), Qt::LeftButton, {}, cell.center());
    }

    std::optional<std::string> savedConfigHome_;
    toolkit::TOpenDialog offered_;
};

TEST_F(LogListTest, OpenLogHasAShortcutOfItsOwn) {
    QAction* item = Form1->findChild<QAction*>(QStringLiteral("OpenLog1"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
    for (const QAction* other : Form1->findChildren<QAction*>()) {
        if (other != item) {
            EXPECT_NE(other->shortcut(), item->shortcut()) << other->objectName().toStdString();
        }
    }
}

TEST_F(LogListTest, TheListShowsTheReadableContactsNewestFirstAndNamesWhatWasSkipped) {
    OpenLog(WriteLog("log.adi", kLog));
    ASSERT_NE(List(), nullptr);
    EXPECT_TRUE(List()->isVisible());
    EXPECT_FALSE(List()->isModal());
    ASSERT_TRUE(WaitForLoad());
    EXPECT_TRUE(boxes_.empty());

    EXPECT_EQ(Calls(), (std::vector<std::string>{"dl1abc", "DL1ABC", "K1ABC", "F5ABC"}));
    EXPECT_EQ(Table().horizontalHeader()->sortIndicatorSection(), int(contacts::Column::Date));
    EXPECT_EQ(Table().horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(Cell(0, contacts::Column::Date), "2024-03-12");
    EXPECT_EQ(Cell(0, contacts::Column::Frequency), "40M");
    EXPECT_EQ(Cell(1, contacts::Column::QslSent), "Y");
    EXPECT_EQ(Cell(1, contacts::Column::Mode), "FT4");

    const std::string summary = List()->SummaryLabel()->text().toStdString();
    EXPECT_EQ(summary, "log.adi: 4 contacts, 1 damaged record skipped, 1 record without a call "
                       "skipped");
    EXPECT_TRUE(List()->SkippedLabel()->isVisible());
    const std::string skipped = List()->SkippedLabel()->text().toStdString();
    EXPECT_NE(skipped.find("record 3 at byte " + std::to_string(kLog.find("<FREQ:x>"))),
              std::string::npos)
        << skipped;
    EXPECT_NE(skipped.find("record 5"), std::string::npos) << skipped;
    EXPECT_FALSE(List()->ProgressBar()->isVisible());

    // Sorting by another column; the selected contact stays selected.
    Table().selectRow(2); // K1ABC
    Table().sortByColumn(int(contacts::Column::Call), Qt::AscendingOrder);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"DL1ABC", "dl1abc", "F5ABC", "K1ABC"}));
    EXPECT_EQ(Table().currentIndex().row(), 3);
    EXPECT_TRUE(Table().selectionModel()->isRowSelected(3, {}));
    Table().sortByColumn(int(contacts::Column::Frequency), Qt::AscendingOrder);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"dl1abc", "K1ABC", "DL1ABC", "F5ABC"}));
    SaveScreenshot(*List(), "contact-list.png");
}

TEST_F(LogListTest, ChoosingEachContactFillsTheContactFieldsAndLeavesTheStationAlone) {
    OpenLog(WriteLog("log.adi", kLog));
    ASSERT_TRUE(WaitForLoad());
    const std::vector<std::string> station = StationFields();
    EXPECT_EQ(station[0], "DL9OWN");

    const std::vector<Fields> expected{
        {"dl1abc", "", "2024-03-12", "0915", "40M", "57", "SSB"},
        {"DL1ABC", "Hans", "2024-01-05", "1432", "14.074", "599", "FT4"},
        {"K1ABC", "", "2024-01-05", "1432", "7.074", "", "FT8"},
        {"F5ABC", "Jo  Ann", "2024-1", "9:5", "99cm", "", "CW"},
    };
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        // Enter on even rows, a double click on odd ones: both choose.
        if (row % 2 == 0)
            PressEnterOn(row);
        else
            DoubleClick(row);
        EXPECT_EQ(ContactFields(), expected[size_t(row)]);
        EXPECT_EQ(StationFields(), station);
        EXPECT_TRUE(List()->isVisible()) << "the list stays open for the next contact";
    }
    // The log's own call (STATION_CALLSIGN of K1ABC) is not the station's field's business.
    EXPECT_EQ(Form1->LabeledEdit1->Text(), "DL9OWN");
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(LogListTest, TheChosenContactMakesTheSameCardDataAsTheCardCommand) {
    const fs::path log = WriteLog("log.adi", kLog);
    OpenLog(log);
    ASSERT_TRUE(WaitForLoad());
    Table().sortByColumn(int(contacts::Column::Call), Qt::AscendingOrder);
    List()->PickRow(0); // DL1ABC, record 1
    const card::CardData window = Form1->CurrentCardData();

    const std::vector<adif::Record> records = adif::ParseLog(log.string(), kLog);
    const card::CardData command =
        cli::CardDataFor(cli::ContactFromRecord(records[0], cli::kDefaultDateFormat),
                         cli::ReadStationProfile(ProfilePath()));
    EXPECT_EQ(window.contactedStation, command.contactedStation);
    EXPECT_EQ(window.contactedOperator, command.contactedOperator);
    EXPECT_EQ(window.date, command.date);
    EXPECT_EQ(window.utc, command.utc);
    EXPECT_EQ(window.frequency, command.frequency);
    EXPECT_EQ(window.rst, command.rst);
    EXPECT_EQ(window.mode, command.mode);
    EXPECT_EQ(window.callSign, command.callSign);
    EXPECT_EQ(window.operatorName, command.operatorName);
}

TEST_F(LogListTest, TheFilterMatchesCallsAsYouTypeAndEnterChoosesTheFirstMatch) {
    OpenLog(WriteLog("log.adi", kLog));
    ASSERT_TRUE(WaitForLoad());
    QLineEdit& filter = *List()->FilterEdit();

    QTest::keyClicks(&filter, "d");
    EXPECT_EQ(Calls(), (std::vector<std::string>{"dl1abc", "DL1ABC"}));
    QTest::keyClicks(&filter, "l1a");
    EXPECT_EQ(Calls(), (std::vector<std::string>{"dl1abc", "DL1ABC"}));
    EXPECT_NE(List()->SummaryLabel()->text().toStdString().find("2 shown"), std::string::npos);
    filter.clear();
    QTest::keyClicks(&filter, "1ABC");
    EXPECT_EQ(Calls(), (std::vector<std::string>{"dl1abc", "DL1ABC", "K1ABC"}));
    QTest::keyClicks(&filter, "X");
    EXPECT_TRUE(Calls().empty());
    QTest::keyClick(&filter, Qt::Key_Return); // nothing to choose: the fields stay empty
    EXPECT_EQ(ContactFields(), Fields{});

    filter.clear();
    QTest::keyClicks(&filter, "k1");
    QTest::keyClick(&filter, Qt::Key_Return);
    EXPECT_EQ(ContactFields().station, "K1ABC");
    filter.clear();
    EXPECT_EQ(Calls().size(), 4u);
}

TEST_F(LogListTest, TheDatePatternLaysOutDatesAndAPatternWithoutADateIsNotTaken) {
    OpenLog(WriteLog("log.adi", kLog));
    ASSERT_TRUE(WaitForLoad());
    QLineEdit& pattern = *List()->DatePatternEdit();
    EXPECT_EQ(pattern.text().toStdString(), "YYYY-MM-DD");
    pattern.selectAll();
    QTest::keyClicks(&pattern, "DD.MM.YY");
    EXPECT_EQ(Cell(0, contacts::Column::Date), "12.03.24");
    List()->PickRow(0);
    EXPECT_EQ(ContactFields().date, "12.03.24");

    // While typing, a text naming no part of the date keeps the last pattern that did.
    pattern.selectAll();
    QTest::keyClicks(&pattern, "D");
    EXPECT_EQ(Cell(0, contacts::Column::Date), "12.03.24");
    EXPECT_EQ(loglist::LogSettings().DatePattern(), "DD.MM.YY");
}

TEST_F(LogListTest, TheLastLogIsRememberedForTheUserAfterARestartAndTheProfileStaysAsItWas) {
    const std::string profileBefore = ReadProfileFile();
    const fs::path log = WriteLog("my log.adi", kLog);
    OpenLog(log);
    // The first time the dialog has nothing to offer.
    EXPECT_EQ(offered_.FileName, "");
    EXPECT_EQ(offered_.InitialDir, "");
    EXPECT_NE(offered_.Filter.find("*.adi *.adx"), std::string::npos);
    ASSERT_TRUE(WaitForLoad());
    List()->PickRow(0);
    QTest::keyClicks(List()->DatePatternEdit(), "x"); // YYYY-MM-DDx

    // A restart: the program ends and a new one starts with the same user and profile.
    Form1->Close();
    ProcessEvents();
    app_.reset();
    app_ = std::make_unique<toolkit::TApplication>();
    app_->SetExeNameForTesting((folder_ / "velmora").string());
    app_->SetErrorBoxPresenter([this](const toolkit::ErrorBox& box) { boxes_.push_back(box); });
    StartProgram();
    ASSERT_NE(Form1, nullptr);
    EXPECT_EQ(Form1->ContactList, nullptr);

    OpenLog(log);
    EXPECT_EQ(offered_.FileName, fs::absolute(log).string());
    EXPECT_EQ(offered_.InitialDir, fs::absolute(log).parent_path().string());
    ASSERT_TRUE(WaitForLoad());
    EXPECT_EQ(List()->DatePatternEdit()->text().toStdString(), "YYYY-MM-DDx");

    // The settings are the user's, in the user's configuration folder; the station profile
    // holds not a byte more or less.
    const fs::path settings = folder_ / "config" / "velmora" / "window.conf";
    EXPECT_EQ(loglist::LogSettings::FilePath(), settings.string());
    EXPECT_TRUE(fs::exists(settings));
    EXPECT_EQ(ReadProfileFile(), profileBefore);
    EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(folder_), {}).size(), 3u)
        << "only the profile, the logs and the configuration folder";
}

TEST_F(LogListTest, ACancelledDialogOpensNothing) {
    QAction* item = Form1->findChild<QAction*>(QStringLiteral("OpenLog1"));
    item->trigger();
    EXPECT_EQ(dialogs_.shown, 1);
    EXPECT_EQ(Form1->ContactList, nullptr);
    EXPECT_FALSE(fs::exists(folder_ / "config"));
}

TEST_F(LogListTest, ALogThatCannotBeReadIsReportedAndNothingIsRemembered) {
    OpenLog(folder_ / "gone.adi");
    ASSERT_TRUE(WaitForLoad());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].text.find("gone.adi: cannot open the log"), std::string::npos)
        << boxes_[0].text;
    EXPECT_NE(List()->SummaryLabel()->text().toStdString().find("cannot open the log"),
              std::string::npos);
    EXPECT_EQ(Table().model()->rowCount(), 0);
    EXPECT_EQ(loglist::LogSettings().LastLog(), "");

    // A file that holds no log at all is a log without contacts.
    boxes_.clear();
    OpenLog(WriteLog("notes.adi", "just some text, no records"));
    ASSERT_TRUE(WaitForLoad());
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(List()->SummaryLabel()->text().toStdString(), "notes.adi: 0 contacts");
}

TEST_F(LogListTest, ALargeLogLoadsWithProgressWhileTheWindowsKeepAnswering) {
    constexpr int kContacts = 100000;
    const std::string text = LargeLog(kContacts);
    const fs::path log = WriteLog("large.adi", text);

    // A timer that must keep firing while the log loads: the event loop is never held up.
    int ticks = 0;
    qint64 longestGapMs = 0;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        longestGapMs = std::max(longestGapMs, sinceTick.restart());
    });
    ticker.start(10);
    std::vector<int> barValues;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (List() == nullptr || !List()->ProgressBar()->isVisible())
            return;
        const QProgressBar& bar = *List()->ProgressBar();
        barValues.push_back(bar.maximum() == 0 ? -1 : bar.value());
        if (bar.maximum() > 0 && bar.value() > 0 && barValues.size() > 1 &&
            barValues[barValues.size() - 2] <= 0)
            SaveScreenshot(*List(), "contact-list-loading.png");
    });
    watcher.start(5);

    QElapsedTimer clock;
    clock.start();
    OpenLog(log);
    EXPECT_TRUE(List()->ProgressBar()->isVisible());
    ASSERT_TRUE(WaitForLoad());
    const qint64 loadMs = clock.elapsed();
    ticker.stop();
    watcher.stop();
    RecordProperty("load_ms", int(loadMs));
    std::cout << "[ info ] " << kContacts << " contacts loaded in " << loadMs << " ms; " << ticks
              << " timer ticks meanwhile, the longest gap " << longestGapMs << " ms\n";

    EXPECT_EQ(Table().model()->rowCount(), kContacts);
    EXPECT_EQ(List()->Log()->skipped.size(), 0u);
    EXPECT_GT(ticks, 0);
    EXPECT_FALSE(barValues.empty()) << "the progress bar was shown while loading";

    // The filter gives the same contacts as the core's filter over the same order.
    const std::vector<uint32_t> order = contacts::SortedOrder(
        List()->Log()->contacts, contacts::Column::Date, contacts::SortOrder::Descending);
    const size_t expected = contacts::FilterByCall(*List()->Log(), order, "DL3").size();
    ASSERT_GT(expected, 0u);
    QElapsedTimer typing;
    typing.start();
    QTest::keyClicks(List()->FilterEdit(), "dl3");
    std::cout << "[ info ] three key presses in the filter: " << typing.elapsed() << " ms\n";
    EXPECT_EQ(size_t(Table().model()->rowCount()), expected);
    SaveScreenshot(*List(), "contact-list-large-filtered.png");
    List()->PickRow(0);
    EXPECT_NE(ContactFields().station.find("DL3"), std::string::npos);
}

TEST_F(LogListTest, ANewLogWhileOneLoadsReplacesItAndClosingTheProgramStopsALoad) {
    const fs::path large = WriteLog("large.adi", LargeLog(50000));
    OpenLog(large);
    EXPECT_TRUE(List()->Loading());
    OpenLog(WriteLog("small.adi", kLog));
    ASSERT_TRUE(WaitForLoad());
    EXPECT_EQ(Table().model()->rowCount(), 4);
    EXPECT_EQ(List()->Log()->path, (folder_ / "logs" / "small.adi").string());

    // The program ends while a large log loads: the load is stopped, nothing is left running.
    OpenLog(large);
    EXPECT_TRUE(List()->Loading());
    app_.reset();
    EXPECT_EQ(Form1, nullptr);
}

// A contact from the list on the blank card, for people to look at (see SaveScreenshot).
TEST_F(LogListTest, AChosenContactOnTheCard) {
    const fs::path saved = fs::current_path();
    fs::create_directories(folder_ / "cwd");
    fs::copy_file(fs::path(VELMORA_DATA_DIR) / "blankcard.jpg", folder_ / "cwd" / "blankcard.jpg");
    fs::current_path(folder_ / "cwd");
    OpenLog(WriteLog("log.adi", kLog));
    ASSERT_TRUE(WaitForLoad());
    DoubleClick(1); // DL1ABC
    app_->Guard([] { Form1->Button2Click(); });
    fs::current_path(saved);
    ASSERT_TRUE(boxes_.empty()) << boxes_[0].text;
    EXPECT_EQ(Form1->CurrentCardData().contactedStation, "DL1ABC");
    SaveScreenshot(*Form1, "card-from-contact.png");
    SaveScreenshot(*List(), "contact-list-after-choice.png");
}

} // namespace
