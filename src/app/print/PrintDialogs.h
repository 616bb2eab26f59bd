// The print and page setup dialogs behind a seam, as the common dialogs are: the program shows
// Qt's dialogs, tests install a provider that answers without a person.
#pragma once

#include "app/print/CardLayout.h"
#include "app/toolkit/DialogSeam.h"

#include <QWidget>
#include <memory>

class QButtonGroup;
class QDoubleSpinBox;
class QPrinter;
class QRadioButton;

namespace velmora::print {

class PrintDialogProvider {
  public:
    virtual ~PrintDialogProvider() = default;
    // The print dialog (printer or PDF file, copies) with the card's own options. On confirm
    // the choices are in printer and options; a cancel leaves both as they were.
    virtual bool RunPrint(QPrinter& printer, PrintOptions& options) = 0;
    // Paper, orientation and margins of printer; a cancel leaves it as it was.
    virtual bool RunPageSetup(QPrinter& printer) = 0;
    // The print dialog for label sheets: printer or PDF file and copies, no card options. On
    // confirm the choices are in printer.
    virtual bool RunPrintLabels(QPrinter& printer) = 0;
};

// The provider with Qt's modal dialogs, parented to the active window.
std::unique_ptr<PrintDialogProvider> NewQtPrintDialogProvider();

// The provider in use; the Qt one unless a test installed another.
PrintDialogProvider& PrintDialogs();

// Installs a provider for the lifetime of the guard (tests).
using ScopedPrintDialogProvider = toolkit::DialogSeam<PrintDialogProvider>::Scoped;

// The "Card" page of the print dialog: one card per page or a sheet with cut marks, and the
// printer offset in millimetres.
class CardOptionsPage : public QWidget {
    Q_OBJECT

  public:
    explicit CardOptionsPage(const PrintOptions& options, QWidget* parent = nullptr);
    PrintOptions Options() const;

  private:
    QRadioButton* onePerPage_;
    QRadioButton* fillPage_;
    QDoubleSpinBox* offsetX_;
    QDoubleSpinBox* offsetY_;
};

} // namespace velmora::print
