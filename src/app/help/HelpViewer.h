// The program's help viewer: a window of its own, beside the main window and not blocking it,
// that shows the contents of a help file written in HTML ("VELMORA.HLP").
#pragma once

#include <QWidget>
#include <string>

class QTextBrowser;

namespace help {

class THelpViewer : public QWidget {
    Q_OBJECT

  public:
    // The viewer belongs to owner (it closes with it) but is a window of its own.
    explicit THelpViewer(QWidget* owner);

    // Reads the help file and shows its contents page, bringing the window to the front when it
    // is shown already. The file is read afresh each time, so an edited help file shows at once.
    // A file that cannot be read raises graphics::EFOpenError "Cannot open file "%s". %s" and
    // leaves the viewer as it was.
    void ShowContents(const std::string& helpFile);

    QTextBrowser* Browser() const { return browser_; }
    // The full path of the file shown, empty before the first one.
    const std::string& FileName() const { return fileName_; }

  private:
    QTextBrowser* browser_;
    std::string fileName_;
    bool placed_ = false;
};

// The help viewer of owner's window, made on first use and kept for the window's lifetime.
THelpViewer& HelpViewerFor(QWidget& owner);

} // namespace help
