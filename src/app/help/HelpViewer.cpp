#include "app/help/HelpViewer.h"

#include "graphics/Exceptions.h"
#include "graphics/Stream.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace help {

namespace {

// A help file is a few pages of text; anything far larger is not one.
constexpr int64_t kMaxHelpFileBytes = 16 * 1024 * 1024;

constexpr const char* kViewerName = "HelpViewer";

std::string ReadWholeFile(const std::string& path) {
    graphics::TFileStream file(path, graphics::fmOpenRead);
    const int64_t size = file.Size();
    if (size > kMaxHelpFileBytes)
        throw graphics::EFOpenError("Cannot open file \"" + path + "\". The file is too large");
    std::string text(size_t(size), '\0');
    file.ReadBuffer({reinterpret_cast<uint8_t*>(text.data()), text.size()});
    return text;
}

} // namespace

THelpViewer::THelpViewer(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QString::fromLatin1(kViewerName));
    setWindowTitle(QStringLiteral("Velmora Help"));
    resize(640, 560);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("HelpText"));
    // The page is set as text, not loaded from a URL, so its links are followed here: a link
    // inside the page scrolls to its place, anything else goes to the desktop's own handler.
    browser_->setOpenLinks(false);
    connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        if (link.isRelative() && link.path().isEmpty() && link.hasFragment())
            browser_->scrollToAnchor(link.fragment());
        else
            QDesktopServices::openUrl(link);
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
}

void THelpViewer::ShowContents(const std::string& helpFile) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(helpFile, error);
    if (error)
        path = helpFile;
    const std::string text = ReadWholeFile(path.string());

    fileName_ = path.string();
    // Pictures and style sheets the page names are found beside the help file.
    browser_->setSearchPaths({QFileInfo(QString::fromStdString(fileName_)).absolutePath()});
    browser_->setHtml(QString::fromUtf8(text.data(), qsizetype(text.size())));
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Velmora Help") : title);
    browser_->moveCursor(QTextCursor::Start);
    if (!isVisible() && !placed_) {
        // The first time, over the middle of the window it belongs to.
        if (QWidget* owner = parentWidget(); owner != nullptr && owner->isVisible()) {
            const QRect area = owner->frameGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
        placed_ = true;
    }
    show();
    raise();
    activateWindow();
}

THelpViewer& HelpViewerFor(QWidget& owner) {
    if (auto* viewer = owner.findChild<THelpViewer*>(QString::fromLatin1(kViewerName),
                                                     Qt::FindDirectChildrenOnly))
        return *viewer;
    return *new THelpViewer(&owner);
}

} // namespace help
