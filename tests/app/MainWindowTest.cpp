// The main window against its design: controls, captions, hints, geometry, tab order, menus,
// shortcuts, the preview, what FormCreate fills in, and the keys inside and outside the fields.
#include "AppTestSupport.h"
#include "app/mnAbout.h"
#include "app/mnSetup.h"
#include "app/mnVelmora.h"
#include "app/print/PrintDialogs.h"
#include "app/toolkit/Menus.h"
#include "app/toolkit/Style.h"
#include "graphics/Bitmap.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <string>
#include <vector>

namespace {

using apptest::AppTest;
using apptest::ProcessEvents;
using velmora::Form1;

class MainWindowTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        StartProgram();
        ASSERT_NE(Form1, nullptr);
    }
    template <class T> T* Find(const char* name) const {
        return Form1->findChild<T*>(QString::fromLatin1(name));
    }
    QAction* Item(const char* name) const { return Find<QAction>(name); }
};

struct EditRow {
    const char* name;
    const char* label;
    const char* hint;
    int tabOrder;
    int left, top, width;
};

// The design's table of labelled edits.
const std::vector<EditRow> kMainEdits{
    {"LabeledEdit1", "QRA: ", "Your QRA", 0, 560, 72, 73},
    {"LabeledEdit2", "Operator: ", "Your Name", 1, 688, 72, 105},
    {"LabeledEdit12", "Rem QRA:", "Contacted Station", 2, 584, 104, 73},
    {"LabeledEdit14", "Rem Op:", "Contacted Operator", 3, 712, 104, 81},
    {"LabeledEdit3", "Date: ", "QSO Date", 4, 560, 136, 73},
    {"LabeledEdit4", "UTC: ", "QSO Time", 5, 720, 136, 73},
    {"LabeledEdit5", "QRG: ", "MHz", 6, 560, 168, 57},
    {"LabeledEdit6", "RST: ", "RST", 7, 656, 168, 49},
    {"LabeledEdit7", "Mode: ", "Mode", 8, 744, 168, 49},
    {"LabeledEdit11", "QTH: ", "Your QTH, only one line", 9, 560, 200, 233},
    {"LabeledEdit10", "Country: ", "Country", 10, 560, 264, 121},
    {"LabeledEdit13", "RIG:", "Your Station, if any", 11, 560, 296, 113},
    {"LabeledEdit9", "Thanks:", "Your Thanks message", 12, 560, 328, 185},
    {"LabeledEdit8", "Image: ", "The background for you  QSL card ... Touch Find to search", 13,
     560, 40, 193},
    {"LabeledEdit15", "City: ", "City of your QTH", 18, 560, 232, 153},
    {"LabeledEdit16", "State: ", "State of your QTH", 19, 760, 232, 33},
    {"LabeledEdit17", "ANT:", "Your Station, if any", 20, 712, 296, 81},
    {"LabeledEdit18", "ZIP:", "Country", 21, 728, 264, 73},
};

TEST_F(MainWindowTest, FormHasItsDesignedCaptionSizeColourAndFont) {
    EXPECT_EQ(Form1->Caption(), "Velmora -  v 1.3");
    EXPECT_EQ(Form1->ClientWidth(), 804);
    EXPECT_EQ(Form1->ClientHeight(), 407);
    EXPECT_EQ(Form1->Position(), toolkit::poDesktopCenter);
    EXPECT_EQ(Form1->Color(), graphics::clBtnFace);
    EXPECT_EQ(Form1->font().family(), toolkit::ResolveFamily("MS Sans Serif"));
    EXPECT_EQ(Form1->font().pixelSize(), 11);
    EXPECT_EQ(Form1->HelpFile, "VELMORA.HLP");
    EXPECT_EQ(Form1->Menu(), Form1->MainMenu1);
    // The JPEG entry also lists "*.jpeg", which Find reads.
    EXPECT_EQ(Form1->OpenDialog1.Filter, "JPEG|*.jpg;*.jpeg|Bitmap|*.bmp|GIF|*.gif");
    EXPECT_EQ(toolkit::ToQtFilter(Form1->OpenDialog1.Filter),
              "JPEG (*.jpg *.jpeg);;Bitmap (*.bmp);;GIF (*.gif)");

    Form1->Show();
    ProcessEvents();
    // Centred on the desktop, kept on it where the desktop is smaller than the window.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect frame = Form1->frameGeometry();
    auto centred = [](int start, int extent, int size) {
        return std::max(start, std::min(start + (extent - size) / 2, start + extent - size));
    };
    EXPECT_EQ(frame.left(), centred(screen.left(), screen.width(), frame.width()));
    EXPECT_EQ(frame.top(), centred(screen.top(), screen.height(), frame.height()));
}

TEST_F(MainWindowTest, LabelledEditsMatchTheDesignTable) {
    for (const EditRow& row : kMainEdits) {
        SCOPED_TRACE(row.name);
        auto* edit = Find<toolkit::TLabeledEdit>(row.name);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->Bounds(), QRect(row.left, row.top, row.width, 21));
        EXPECT_EQ(edit->LabelCaption(), row.label);
        EXPECT_EQ(toolkit::Hint(*edit), row.hint);
        EXPECT_EQ(toolkit::TabOrder(*edit), row.tabOrder);
        const QRect label = edit->LabelBounds();
        EXPECT_EQ(label.height(), 13);
        EXPECT_EQ(label.right() + 1 + 3, row.left) << "right-aligned against the edit";
        EXPECT_EQ(label.top(), row.top + 4) << "vertically centred on the edit";
    }
    EXPECT_EQ(Form1->findChildren<toolkit::TLabeledEdit*>().size(), kMainEdits.size());
}

// Every label is wide enough for its caption in the form's face and overlaps no other control,
// so the text can be read beside its field.
void ExpectLabelsFit(const toolkit::TForm& form) {
    const auto edits = form.findChildren<toolkit::TLabeledEdit*>();
    // Every other control's face: a labelled edit's own label is checked on its own below.
    std::vector<std::pair<std::string, QRect>> controls;
    for (QWidget* child : form.Client()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const auto* edit = qobject_cast<toolkit::TLabeledEdit*>(child);
        controls.emplace_back(child->objectName().toStdString(),
                              edit != nullptr ? edit->Bounds() : child->geometry());
    }
    for (const toolkit::TLabeledEdit* edit : edits) {
        SCOPED_TRACE(edit->objectName().toStdString());
        const QLabel* label = edit->EditLabel();
        const QRect labelBounds = edit->LabelBounds();
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
        EXPECT_GE(label->height(), label->fontMetrics().ascent() + 2);
        EXPECT_TRUE(form.Client()->rect().contains(labelBounds));
        for (const auto& [name, bounds] : controls)
            EXPECT_FALSE(labelBounds.intersects(bounds)) << "overlaps " << name;
        for (const toolkit::TLabeledEdit* other : edits) {
            if (other == edit)
                continue;
            EXPECT_FALSE(labelBounds.intersects(other->LabelBounds()))
                << "overlaps the label of " << other->objectName().toStdString();
        }
    }
}

TEST_F(MainWindowTest, LabelsFitBesideTheirFields) {
    ExpectLabelsFit(*Form1);
    ExpectLabelsFit(*velmora::Form3);
}

TEST_F(MainWindowTest, ButtonsPanelPreviewAndStatusBarMatchTheDesign) {
    EXPECT_EQ(Form1->Button1->Caption(), "Find");
    EXPECT_EQ(Form1->Button1->geometry(), QRect(760, 40, 33, 25));
    EXPECT_EQ(toolkit::TabOrder(*Form1->Button1), 14);
    EXPECT_EQ(toolkit::Hint(*Form1->Button1), "");
    EXPECT_EQ(Form1->Button2->Caption(), "Verify");
    EXPECT_EQ(Form1->Button2->geometry(), QRect(607, 360, 82, 25));
    EXPECT_EQ(toolkit::TabOrder(*Form1->Button2), 15);

    EXPECT_EQ(Form1->Panel1->Caption(), "BACKGROUND");
    EXPECT_EQ(Form1->Panel1->geometry(), QRect(11, 40, 497, 317));
    EXPECT_EQ(Form1->Panel1->BevelInner(), toolkit::bvLowered);
    EXPECT_EQ(toolkit::TabOrder(*Form1->Panel1), 17);

    EXPECT_EQ(Form1->Image1->parentWidget(), Form1->Panel1);
    EXPECT_EQ(Form1->Image1->geometry(), QRect(2, 0, 495, 315));
    EXPECT_TRUE(Form1->Image1->Image().Stretch());
    EXPECT_EQ(Form1->Image1->PopupMenu(), Form1->PopupMenu1);

    EXPECT_EQ(Form1->StatusBar1->geometry(), QRect(0, 388, 804, 19));
    EXPECT_TRUE(Form1->StatusBar1->currentMessage().isEmpty());
}

// The controls the Tab key stops at, in order. A labelled edit hands its focus on to its edit
// field, so it stands for the field.
std::vector<std::string> FocusChain(QWidget* first, QWidget* client) {
    std::vector<std::string> names;
    QWidget* widget = first;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && client->isAncestorOf(widget) &&
            qobject_cast<toolkit::TLabeledEdit*>(widget->parentWidget()) == nullptr)
            names.push_back(widget->objectName().toStdString());
        widget = widget->nextInFocusChain();
    } while (widget != first && names.size() < 100);
    return names;
}

TEST_F(MainWindowTest, TabKeyFollowsTheDesignedTabOrder) {
    const std::vector<std::string> expected{
        "LabeledEdit1",  "LabeledEdit2",  "LabeledEdit12", "LabeledEdit14", "LabeledEdit3",
        "LabeledEdit4",  "LabeledEdit5",  "LabeledEdit6",  "LabeledEdit7",  "LabeledEdit11",
        "LabeledEdit10", "LabeledEdit13", "LabeledEdit9",  "LabeledEdit8",  "Button1",
        "Button2",       "LabeledEdit15", "LabeledEdit16", "LabeledEdit17", "LabeledEdit18"};
    EXPECT_EQ(FocusChain(Form1->LabeledEdit1, Form1->Client()), expected);

    Form1->Show();
    ProcessEvents();
    Form1->LabeledEdit9->setFocus();
    QTest::keyClick(Form1->LabeledEdit9, Qt::Key_Tab);
    EXPECT_TRUE(Form1->LabeledEdit8->hasFocus());
    QTest::keyClick(Form1->LabeledEdit8, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Form1->Button1);
}

struct ItemRow {
    std::string name;
    std::string caption; // "-" for a separator
    int shortCut;
    std::string hint;
};

void ExpectItems(const QMenu& menu, const std::vector<ItemRow>& expected) {
    const auto actions = menu.actions();
    ASSERT_EQ(size_t(actions.size()), expected.size()) << menu.objectName().toStdString();
    for (size_t i = 0; i < expected.size(); ++i) {
        const QAction& action = *actions[qsizetype(i)];
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(action.objectName().toStdString(), expected[i].name);
        EXPECT_EQ(action.isSeparator() ? "-" : toolkit::CaptionOf(action), expected[i].caption);
        EXPECT_EQ(toolkit::ShortCutOf(action), expected[i].shortCut);
        EXPECT_EQ(toolkit::HintOf(action), expected[i].hint);
    }
}

TEST_F(MainWindowTest, MainMenuHasTheDesignedMenusItemsAndShortcuts) {
    const auto menus = Form1->MainMenu1->actions();
    ASSERT_EQ(menus.size(), 4);
    const std::vector<std::pair<const char*, const char*>> titles{
        {"File1", "&File"}, {"Edit1", "&Edit"}, {"ools1", "Tools"}, {"About1", "Help"}};
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(menus[i]->menu(), nullptr);
        EXPECT_EQ(menus[i]->menu()->objectName().toStdString(), titles[size_t(i)].first);
        EXPECT_EQ(menus[i]->text().toStdString(), titles[size_t(i)].second);
    }
    // Open Log (Ctrl+L, 16460) is ours, ahead of the designed items.
    ExpectItems(
        *menus[0]->menu(),
        {{"OpenLog1", "Open &Log...", 16460, "Fill the contact fields from a contact of your log"},
         {"N4", "-", 0, ""},
         {"SaveAs1", "Save &As...", 0, "Save your QSL Card"},
         {"N3", "-", 0, ""},
         {"Print1", "&Print", 16464, ""},
         {"PrintSetup1", "Prin&t Setup...", 0, ""},
         {"PrintLabels1", "Print La&bels...", 0, "Print QSL labels for the contacts of a log"},
         {"N2", "-", 0, ""},
         {"Exit1", "E&xit", 0, ""}});
    ExpectItems(*menus[1]->menu(), {{"Undo2", "&Undo", 16474, ""},
                                    {"Repeatcommand1", "Redo", 0, ""},
                                    {"N7", "-", 0, ""},
                                    {"Cut2", "Cu&t", 16472, ""},
                                    {"Copy2", "&Copy", 16451, ""},
                                    {"Paste2", "&Paste", 16470, ""}});
    ExpectItems(*menus[2]->menu(),
                {{"SelectFontColor1", "Select Font Color", 0, "Select the Text Color"},
                 {"Parms1", "Setup Parms", 0, ""},
                 {"CallIDFont1", "CallID Font", 0, ""}});
    ExpectItems(*menus[3]->menu(), {{"HowTo1", "How To", 0, ""}, {"About2", "About", 0, ""}});

    EXPECT_EQ(Item("Print1")->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    EXPECT_EQ(Item("Undo2")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    EXPECT_EQ(Item("Cut2")->shortcut(), QKeySequence(QStringLiteral("Ctrl+X")));
    EXPECT_EQ(Item("Copy2")->shortcut(), QKeySequence(QStringLiteral("Ctrl+C")));
    EXPECT_EQ(Item("Paste2")->shortcut(), QKeySequence(QStringLiteral("Ctrl+V")));
}

TEST_F(MainWindowTest, PreviewContextMenuHasTheDesignedItems) {
    ExpectItems(*Form1->PopupMenu1, {{"Copy1", "Copy", 16451, ""},
                                     {"Cut1", "Cut", 16472, ""},
                                     {"Paste1", "Paste", 16470, ""},
                                     {"N1", "-", 0, ""},
                                     {"Undo1", "Undo", 16474, ""}});
}

// Print and Print Setup open their dialogs; here both are cancelled.
struct CancelledPrintDialogs : velmora::print::PrintDialogProvider {
    int shown = 0;
    bool RunPrint(QPrinter&, velmora::print::PrintOptions&) override {
        ++shown;
        return false;
    }
    bool RunPageSetup(QPrinter&) override {
        ++shown;
        return false;
    }
    bool RunPrintLabels(QPrinter&) override {
        ++shown;
        return false;
    }
};

TEST_F(MainWindowTest, MenuItemsRunTheirHandlers) {
    CancelledPrintDialogs printDialogs;
    velmora::print::ScopedPrintDialogProvider printGuard(printDialogs);
    Form1->Show();
    ProcessEvents();
    Item("Parms1")->trigger();
    EXPECT_TRUE(velmora::Form3->isVisible());
    Item("About2")->trigger();
    EXPECT_TRUE(velmora::Form2->isVisible());
    Item("Print1")->trigger();
    Item("PrintSetup1")->trigger();
    EXPECT_EQ(printDialogs.shown, 2);
    EXPECT_TRUE(boxes_.empty());
    Item("Exit1")->trigger();
    EXPECT_FALSE(Form1->isVisible());
}

TEST_F(MainWindowTest, FormCreateFillsTheFieldsFromAMissingProfileWithEmptyTexts) {
    EXPECT_EQ(Form1->Session().Store().IniPath, ProfilePath().string());
    for (const EditRow& row : kMainEdits)
        EXPECT_EQ(Find<toolkit::TLabeledEdit>(row.name)->Text(), "") << row.name;
    EXPECT_FALSE(std::filesystem::exists(ProfilePath())) << "reading creates no file";
}

TEST_F(MainWindowTest, CardBitmapIsAWhiteCardOfThePreviewsSizeShownPixelForPixel) {
    graphics::TBitmap& card = Form1->Session().CardBitmap();
    EXPECT_EQ(card.Width(), 495);
    EXPECT_EQ(card.Height(), 315);
    EXPECT_EQ(Form1->Session().CardCanvas().PixelAt(0, 0), graphics::clWhite);
    EXPECT_EQ(Form1->Session().CardCanvas().PixelAt(494, 314), graphics::clWhite);

    const velmora::FontDescription& font = Form1->Session().State().CallIdFont;
    EXPECT_EQ(font.name, "MS Sans Serif");
    EXPECT_TRUE(font.style.Empty());
    EXPECT_EQ(font.size, 24);
    EXPECT_EQ(font.color, graphics::clBlack);

    // A change of the card reaches the screen: the preview repaints and shows our pixels.
    Form1->Show();
    ProcessEvents();
    graphics::TCanvas& canvas = Form1->Session().CardCanvas();
    canvas.Brush().SetColor(graphics::clRed);
    canvas.FillArea({10, 20, 30, 40});
    ProcessEvents();
    const QImage shown = Form1->Image1->grab().toImage();
    EXPECT_EQ(shown.size(), QSize(495, 315));
    EXPECT_EQ(shown.pixelColor(10, 20), QColor(255, 0, 0));
    EXPECT_EQ(shown.pixelColor(29, 39), QColor(255, 0, 0));
    EXPECT_EQ(shown.pixelColor(30, 40), QColor(255, 255, 255));
    EXPECT_EQ(Form1->Image1->Rendered().pixelColor(9, 20), QColor(255, 255, 255));
}

TEST_F(MainWindowTest, ThePreviewRepaintsWhenTheCardChanges) {
    Form1->Show();
    ProcessEvents();
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                ++paints;
            return false;
        }
    } counter;
    Form1->Image1->installEventFilter(&counter);
    ProcessEvents();
    counter.paints = 0;
    Form1->Session().CardCanvas().SetPixelAt(5, 5, graphics::clBlue);
    ProcessEvents();
    EXPECT_GE(counter.paints, 1);
    Form1->Image1->removeEventFilter(&counter);
}

// Ctrl+C, Ctrl+X and Ctrl+V inside a text field act on its text; elsewhere they run the card
// commands. Ctrl+Z stays the card's Undo everywhere.
TEST_F(MainWindowTest, ClipboardKeysActOnTheFieldWithFocusAndOnTheCardElsewhere) {
    Form1->Show();
    ProcessEvents();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form1));
    int copies = 0, cuts = 0, pastes = 0, undos = 0;
    QObject::connect(Item("Copy2"), &QAction::triggered, [&] { ++copies; });
    QObject::connect(Item("Cut2"), &QAction::triggered, [&] { ++cuts; });
    QObject::connect(Item("Paste2"), &QAction::triggered, [&] { ++pastes; });
    QObject::connect(Item("Undo2"), &QAction::triggered, [&] { ++undos; });

    toolkit::TLabeledEdit* field = Form1->LabeledEdit1;
    field->setFocus();
    field->SetText("k1abc");
    field->SelectAll();
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("k1abc"));
    QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(field->Text(), "");
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field->Text(), "k1abc");
    EXPECT_EQ(copies + cuts + pastes, 0);
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(undos, 1);
    EXPECT_EQ(field->Text(), "k1abc") << "the field's own undo did not run";

    Form1->Button2->setFocus();
    QTest::keyClick(Form1->Button2, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(Form1->Button2, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(Form1->Button2, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(Form1->Button2, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(cuts, 1);
    EXPECT_EQ(pastes, 1);
    EXPECT_EQ(undos, 2);
}

} // namespace
