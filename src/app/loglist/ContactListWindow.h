// The contact list: a modeless window beside the main window that shows the contacts of a log
// (File > Open Log...). Choosing a contact (double click or Enter) hands its fields to the
// main window and leaves the list open for the next one. A log loads on a thread of its own
// with a progress bar; what could not be read is named in a line under the table.
#pragma once

#include "app/loglist/ContactTableModel.h"
#include "app/loglist/LogLoader.h"
#include "contacts/ContactLog.h"

#include <QWidget>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace loglist {

class ContactListWindow : public QWidget {
  public:
    using PickHandler = std::function<void(const contacts::ContactFields&)>;

    // owner: the main window, which the list stays in front of and closes with.
    ContactListWindow(QWidget* owner, PickHandler onPick);
    ~ContactListWindow() override;

    // Shows the window and starts loading path; the contacts shown so far go at once.
    void Load(const std::string& path);
    bool Loading() const { return loader_.Running(); }
    // The log shown, or null while none is loaded.
    const contacts::ContactLog* Log() const { return model_->Log(); }

    // Hands the contact in row of the table (as filtered and sorted) to the main window.
    void PickRow(int row);

    QLineEdit* FilterEdit() const { return filter_; }
    QLineEdit* DatePatternEdit() const { return datePattern_; }
    QTableView* Table() const { return table_; }
    ContactTableModel* Model() const { return model_; }
    QLabel* SummaryLabel() const { return summary_; }
    QLabel* SkippedLabel() const { return skipped_; }
    QProgressBar* ProgressBar() const { return progress_; }

  private:
    void CreateControls();
    void ShowProgress(contacts::LoadStage stage, uint64_t done, uint64_t total);
    void Loaded(contacts::LoadResult& result);
    void ShowLoading(bool loading);
    void UpdateSummary();
    void PickCurrent();
    void DatePatternEdited(const QString& text);

    PickHandler onPick_;
    ContactTableModel* model_;
    QLineEdit* filter_;
    QLineEdit* datePattern_;
    QTableView* table_;
    QLabel* summary_;
    QLabel* skipped_;
    QLabel* stage_;
    QProgressBar* progress_;
    QPushButton* stop_;
    std::string path_;
    LogLoader loader_;
};

// The line that names the skipped records: the first few with their reasons and how many more.
std::string SkippedText(const contacts::ContactLog& log, size_t shown);

} // namespace loglist
