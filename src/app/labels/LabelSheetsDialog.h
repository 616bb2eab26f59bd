// File > Print Labels...: the label sheets of one log. The dialog shows how many labels the
// options give on how many sheets, the first sheet as it will come out, and prints the sheets
// (Qt Print Support, drawn by LabelQPainter) or saves them as a PDF (the labels core's cairo
// writer, as velmora-card labels writes it).
#pragma once

#include "labels/LabelSheet.h"
#include "labels/LogLabels.h"

#include <QDialog>
#include <string>
#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace velmora::labels_window {

class LabelSheetsDialog : public QDialog {
    Q_OBJECT

  public:
    // datePattern lays out the dates; ownCall stands in when the log names no own call.
    LabelSheetsDialog(labels::LogForLabels log, std::string datePattern, std::string ownCall,
                      QWidget* parent = nullptr);

    // What the options give now.
    const labels::LogLabelRun& Run() const { return run_; }
    const labels::SheetLayout& Sheet() const { return sheets_.at(size_t(sheetIndex_)); }
    labels::SheetPlacement Placement() const;
    // Sheets the run takes with the options.
    std::size_t Sheets() const;

    // The buttons' work, run inside the program's exception handler by the buttons.
    void PrintSheets();
    void SavePdf();

  private:
    void ChooseSheet(int index);
    void Update();

    labels::LogForLabels log_;
    std::string datePattern_;
    std::string ownCall_;
    // The combo's sheets in its order; "Other sheet file..." is the item after them.
    std::vector<labels::SheetLayout> sheets_;
    int sheetIndex_ = 0;
    labels::LogLabelRun run_;

    QLabel* counts_;
    QLabel* totals_;
    QComboBox* sheet_;
    QSpinBox* skip_;
    QDoubleSpinBox* offsetX_;
    QDoubleSpinBox* offsetY_;
    QSpinBox* perCard_;
    QComboBox* selection_;
    QLabel* preview_;
    QPushButton* print_;
    QPushButton* save_;
};

} // namespace velmora::labels_window
