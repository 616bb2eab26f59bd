#include "app/toolkit/Dialogs.h"

#include "app/image/QtImage.h"
#include "app/toolkit/Application.h"
#include "app/toolkit/Form.h"
#include "app/toolkit/ReturnActivation.h"
#include "app/toolkit/Style.h"
#include "card/PictureTable.h"
#include "graphics/Graphic.h"
#include "graphics/ImageControl.h"
#include "graphics/PictureFormats.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QVBoxLayout>
#include <array>
#include <cstring>

namespace toolkit {

namespace {

QWidget* DialogParent() {
    if (QWidget* active = QApplication::activeWindow())
        return active;
    if (HasApplication() && Application().ActiveForm() != nullptr)
        return Application().ActiveForm();
    return nullptr;
}

// Pictures shown in the save dialog's preview panel are scaled into this box.
constexpr int kPreviewWidth = 180;
constexpr int kPreviewHeight = 140;

// The preview panel beside the file list of a picture dialog: it follows the file under the
// cursor and shows it through PicturePreview.
void AddPreviewPanel(QFileDialog& files) {
    auto* grid = qobject_cast<QGridLayout*>(files.layout());
    if (grid == nullptr)
        return;
    auto* preview = new QLabel(&files);
    preview->setObjectName(QStringLiteral("PicturePreview"));
    preview->setFixedSize(kPreviewWidth + 4, kPreviewHeight + 4);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    preview->setText(QStringLiteral("(None)"));
    QObject::connect(&files, &QFileDialog::currentChanged, preview, [preview](const QString& path) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        const QImage picture = PicturePreview(FromQString(path), kPreviewWidth, kPreviewHeight);
        QApplication::restoreOverrideCursor();
        if (picture.isNull()) {
            preview->setPixmap(QPixmap());
            preview->setText(QStringLiteral("(None)"));
        } else {
            preview->setPixmap(QPixmap::fromImage(picture));
        }
    });
    grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
    // Room for the file list beside the panel.
    files.resize(std::max(files.width(), 760), std::max(files.height(), 420));
}

enum class Preview { None, Picture };

// The parts of a filter between its bars: description, patterns, description, ...
std::vector<std::string> SplitFilter(const std::string& filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t bar = filter.find('|'); bar != std::string::npos; bar = filter.find('|', start)) {
        parts.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    parts.push_back(filter.substr(start));
    return parts;
}

// The picture format list writes each pattern into its description as well ("GIF Image
// (*.gif)|*.gif"); Qt shows the description and reads the patterns from its parentheses, so the
// copy in the description is dropped before Qt adds its own.
std::string WithoutRepeatedPatterns(const std::string& filter) {
    const std::vector<std::string> parts = SplitFilter(filter);
    std::string result;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string part = parts[i];
        if (i % 2 == 0 && i + 1 < parts.size()) {
            const std::string repeated = " (" + parts[i + 1] + ")";
            if (part.size() > repeated.size() &&
                part.compare(part.size() - repeated.size(), repeated.size(), repeated) == 0)
                part.resize(part.size() - repeated.size());
        }
        if (i > 0)
            result += '|';
        result += part;
    }
    return result;
}

bool RunFileDialog(TOpenDialog& dialog, QFileDialog::AcceptMode mode,
                   Preview preview = Preview::None) {
    ReturnActivation owner(DialogParent());
    const std::string filter =
        preview == Preview::Picture ? WithoutRepeatedPatterns(dialog.Filter) : dialog.Filter;
    QFileDialog files(owner.window(), ToQString(dialog.Title), ToQString(dialog.InitialDir),
                      ToQString(ToQtFilter(filter)));
    files.setObjectName(QStringLiteral("CommonFileDialog"));
    files.setAcceptMode(mode);
    files.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                      : QFileDialog::AnyFile);
    // The dialog does not ask before replacing: the program may still add an ending to the
    // name, so it asks itself once the final name is known (ConfirmReplace).
    files.setOption(QFileDialog::DontConfirmOverwrite);
    if (preview == Preview::Picture) {
        // The panel needs Qt's own dialog; a desktop's native one has no room for it.
        files.setOption(QFileDialog::DontUseNativeDialog);
        AddPreviewPanel(files);
    }
    if (!dialog.DefaultExt.empty())
        files.setDefaultSuffix(ToQString(dialog.DefaultExt));
    if (!dialog.FileName.empty()) {
        const QFileInfo previous(ToQString(dialog.FileName));
        if (dialog.InitialDir.empty() && !previous.path().isEmpty())
            files.setDirectory(previous.absolutePath());
        files.selectFile(previous.fileName());
    }
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
        return false;
    dialog.FileName = FromQString(files.selectedFiles().constFirst());
    return true;
}

// The sixteen colours the font dialog offers, in the classic order.
constexpr std::array<std::pair<const char*, graphics::TColor>, 16> kFontColors{{
    {"Black", graphics::clBlack},
    {"Maroon", graphics::clMaroon},
    {"Green", graphics::clGreen},
    {"Olive", graphics::clOlive},
    {"Navy", graphics::clNavy},
    {"Purple", graphics::clPurple},
    {"Teal", graphics::clTeal},
    {"Gray", graphics::clGray},
    {"Silver", graphics::clSilver},
    {"Red", graphics::clRed},
    {"Lime", graphics::clLime},
    {"Yellow", graphics::clYellow},
    {"Blue", graphics::clBlue},
    {"Fuchsia", graphics::clFuchsia},
    {"Aqua", graphics::clAqua},
    {"White", graphics::clWhite},
}};

QFont ToQFont(const graphics::TFont& font) {
    QFont result(ResolveFamily(font.Name()));
    result.setPointSize(std::max(1, int(font.Size())));
    result.setBold(font.Style().Contains(graphics::fsBold));
    result.setItalic(font.Style().Contains(graphics::fsItalic));
    result.setUnderline(font.Style().Contains(graphics::fsUnderline));
    result.setStrikeOut(font.Style().Contains(graphics::fsStrikeOut));
    return result;
}

class QtDialogProvider : public DialogProvider {
  public:
    bool RunOpen(TOpenDialog& dialog) override {
        return RunFileDialog(dialog, QFileDialog::AcceptOpen);
    }
    bool RunSave(TSavePictureDialog& dialog) override {
        return RunFileDialog(dialog, QFileDialog::AcceptSave, Preview::Picture);
    }
    bool RunColor(TColorDialog& dialog) override {
        ReturnActivation owner(DialogParent());
        QColorDialog colours(ToQColor(dialog.Color), owner.window());
        colours.setObjectName(QStringLiteral("CommonColorDialog"));
        colours.setOption(QColorDialog::DontUseNativeDialog);
        if (colours.exec() != QDialog::Accepted)
            return false;
        dialog.Color = FromQColor(colours.selectedColor());
        return true;
    }
    bool RunFont(TFontDialog& dialog) override;
    bool RunConfirmReplace(const std::string& fileName) override {
        ReturnActivation owner(DialogParent());
        // The wording of the toolkit's own file dialogs; "No" is the default, so a hasty Enter
        // keeps the file.
        QMessageBox question(QMessageBox::Warning, QStringLiteral("Save As"),
                             QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                 .arg(QFileInfo(ToQString(fileName)).fileName()),
                             QMessageBox::Yes | QMessageBox::No, owner.window());
        question.setObjectName(QStringLiteral("ConfirmReplaceBox"));
        question.setDefaultButton(QMessageBox::No);
        return question.exec() == QMessageBox::Yes;
    }
};

// Qt's font chooser has no colour, so it is embedded in a dialog that adds one.
bool QtDialogProvider::RunFont(TFontDialog& dialog) {
    graphics::TFont& font = dialog.Font();
    ReturnActivation owner(DialogParent());
    QDialog window(owner.window());
    window.setObjectName(QStringLiteral("CommonFontDialog"));
    window.setWindowTitle(QStringLiteral("Font"));
    auto* chooser = new QFontDialog(ToQFont(font), &window);
    chooser->setWindowFlags(Qt::Widget);
    chooser->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    auto* colour = new QComboBox(&window);
    int current = -1;
    for (const auto& [name, value] : kFontColors) {
        QPixmap swatch(16, 12);
        swatch.fill(ToQColor(value));
        colour->addItem(QIcon(swatch), QString::fromLatin1(name), value);
        if (graphics::ResolveColor(font.Color()) == value)
            current = colour->count() - 1;
    }
    if (current < 0) {
        colour->addItem(QStringLiteral("Custom"), font.Color());
        current = colour->count() - 1;
    }
    colour->setCurrentIndex(current);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &window);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &window, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);
    auto* effects = new QFormLayout;
    effects->addRow(QStringLiteral("Color:"), colour);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(chooser);
    layout->addLayout(effects);
    layout->addWidget(buttons);
    if (window.exec() != QDialog::Accepted)
        return false;

    const QFont chosen = chooser->currentFont();
    graphics::TFontStyles style;
    if (chosen.bold())
        style = style.With(graphics::fsBold);
    if (chosen.italic())
        style = style.With(graphics::fsItalic);
    if (chosen.underline())
        style = style.With(graphics::fsUnderline);
    if (chosen.strikeOut())
        style = style.With(graphics::fsStrikeOut);
    font.SetStyle(style);
    if (chosen.pointSize() > 0)
        font.SetSize(chosen.pointSize());
    font.SetColor(graphics::TColor(colour->currentData().toInt()));
    // A designed face shows under the family it resolves to; unless another family was picked,
    // the font keeps its own name.
    if (chosen.family() != ResolveFamily(font.Name()))
        font.SetName(FromQString(chosen.family()));
    return true;
}

} // namespace

std::unique_ptr<DialogProvider> NewQtDialogProvider() {
    return std::make_unique<QtDialogProvider>();
}

DialogProvider& Dialogs() {
    return DialogSeam<DialogProvider>::InUse<QtDialogProvider>();
}

bool TOpenDialog::Execute() {
    return Dialogs().RunOpen(*this);
}
TSavePictureDialog::TSavePictureDialog() {
    Filter = graphics::GraphicFilter(graphics::TGraphic::Class());
}

bool TSavePictureDialog::Execute() {
    return Dialogs().RunSave(*this);
}
bool TColorDialog::Execute() {
    return Dialogs().RunColor(*this);
}

TFontDialog::TFontDialog() {
    font_.SetName("MS Sans Serif");
    font_.SetHeight(-11);
    font_.SetColor(graphics::clWindowText);
}

bool TFontDialog::Execute() {
    return Dialogs().RunFont(*this);
}

bool ConfirmReplace(const std::string& fileName) {
    return Dialogs().RunConfirmReplace(fileName);
}

QImage PicturePreview(const std::string& path, int width, int height) {
    if (width <= 0 || height <= 0)
        return {};
    graphics::TImage image;
    image.SetSize(width, height);
    image.SetProportional(true);
    image.SetCenter(true);
    graphics::TPaintBuffer buffer(width, height);
    graphics::TCanvas& canvas = buffer.Canvas();
    canvas.Brush().SetColor(graphics::clBtnFace);
    canvas.FillArea({0, 0, width, height});
    try {
        // The picture table chooses the class the format list names for the ending and turns a
        // photo upright, as it becomes the card; a broken or foreign file just shows nothing.
        card::ReadPreview(image.Picture(), path);
        if (image.Picture().HeldGraphic() == nullptr || image.Picture().HeldGraphic()->IsEmpty())
            return {};
        image.Paint(canvas);
    } catch (...) {
        return {};
    }
    return velmora::ImageFromBitmap(buffer);
}

std::string ToQtFilter(const std::string& filter) {
    const std::vector<std::string> parts = SplitFilter(filter);
    std::string result;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string patterns = parts[i + 1];
        for (char& c : patterns) {
            if (c == ';')
                c = ' ';
        }
        if (!result.empty())
            result += ";;";
        result += parts[i] + " (" + patterns + ")";
    }
    return result;
}

} // namespace toolkit
