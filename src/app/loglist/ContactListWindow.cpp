#include "app/loglist/ContactListWindow.h"

#include "app/loglist/LogSettings.h"
#include "app/toolkit/Application.h"
#include "graphics/Exceptions.h"
#include "qsl/Contact.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace loglist {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Plural(size_t count, const std::string& one, const std::string& many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The records named in the skipped line; the rest are counted.
constexpr size_t kSkippedInLine = 3;
// The records named in the line's tool tip.
constexpr size_t kSkippedInTip = 50;

std::string SkippedEntry(const contacts::SkippedRecord& skipped) {
    return "record " + std::to_string(skipped.record) + " at byte " +
           std::to_string(skipped.offset) + ": " + skipped.reason;
}

} // namespace

std::string SkippedText(const contacts::ContactLog& log, size_t shown) {
    if (log.skipped.empty())
        return {};
    std::string text = "Skipped: ";
    const size_t named = std::min(shown, log.skipped.size());
    for (size_t i = 0; i < named; ++i)
        text += (i > 0 ? "; " : "") + SkippedEntry(log.skipped[i]);
    if (log.skipped.size() > named)
        text += "; and " + Plural(log.skipped.size() - named, "more record", "more records");
    return text;
}

ContactListWindow::ContactListWindow(QWidget* owner, PickHandler onPick)
    : QWidget(owner, Qt::Window), onPick_(std::move(onPick)) {
    setObjectName(QStringLiteral("ContactList"));
    setWindowTitle(QStringLiteral("Contacts"));
    CreateControls();
    resize(640, 480);
}

ContactListWindow::~ContactListWindow() {
    loader_.Stop();
}

void ContactListWindow::CreateControls() {
    model_ = new ContactTableModel(this);
    model_->SetDatePattern(LogSettings().DatePattern());

    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("FilterEdit"));
    filter_->setPlaceholderText(QStringLiteral("Call sign"));
    filter_->setClearButtonEnabled(true);
    filter_->setToolTip(QStringLiteral("Shows the contacts whose call contains this text; "
                                       "Enter fills the card with the selected one"));
    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        model_->SetFilter(text.toStdString());
        if (model_->rowCount() > 0)
            table_->selectRow(0);
        UpdateSummary();
    });
    connect(filter_, &QLineEdit::returnPressed, this, [this] { PickCurrent(); });

    datePattern_ = new QLineEdit(Q(model_->DatePattern()), this);
    datePattern_->setObjectName(QStringLiteral("DatePatternEdit"));
    datePattern_->setToolTip(QStringLiteral(
        "How dates are written: YYYY, YY, MM and DD stand for the parts of the date, as with "
        "velmora-card --date-format"));
    datePattern_->setMaximumWidth(110);
    connect(datePattern_, &QLineEdit::textEdited, this,
            [this](const QString& text) { DatePatternEdited(text); });

    auto* filterRow = new QHBoxLayout;
    auto* filterLabel = new QLabel(QStringLiteral("&Filter:"), this);
    filterLabel->setBuddy(filter_);
    auto* dateLabel = new QLabel(QStringLiteral("&Dates as:"), this);
    dateLabel->setBuddy(datePattern_);
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(filter_, 1);
    filterRow->addSpacing(12);
    filterRow->addWidget(dateLabel);
    filterRow->addWidget(datePattern_);

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("ContactTable"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->hide();
    // Rows of one height: the view then never measures a hundred thousand rows.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setSortingEnabled(true);
    table_->sortByColumn(int(contacts::Column::Date), Qt::DescendingOrder);
    const int widths[contacts::kColumnCount] = {90, 90, 50, 80, 70, 70, 70};
    for (int column = 0; column < contacts::kColumnCount; ++column)
        table_->setColumnWidth(column, widths[column]);
    // Double click and Enter both activate a row.
    connect(table_, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { PickRow(index.row()); });

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("SummaryLabel"));
    skipped_ = new QLabel(this);
    skipped_->setObjectName(QStringLiteral("SkippedLabel"));
    skipped_->setWordWrap(true);
    skipped_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    skipped_->hide();

    stage_ = new QLabel(this);
    stage_->setObjectName(QStringLiteral("LoadStageLabel"));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("LoadProgress"));
    stop_ = new QPushButton(QStringLiteral("Stop"), this);
    stop_->setObjectName(QStringLiteral("StopButton"));
    connect(stop_, &QPushButton::clicked, this, [this] {
        loader_.Stop();
        ShowLoading(false);
        summary_->setText(Q(QFileInfo(Q(path_)).fileName().toStdString() + ": loading stopped"));
    });
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(stage_);
    progressRow->addWidget(progress_, 1);
    progressRow->addWidget(stop_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(table_, 1);
    layout->addLayout(progressRow);
    layout->addWidget(summary_);
    layout->addWidget(skipped_);
    ShowLoading(false);
}

void ContactListWindow::Load(const std::string& path) {
    path_ = path;
    const QString name = QFileInfo(Q(path)).fileName();
    setWindowTitle(QStringLiteral("Contacts - ") + name);
    model_->SetLog(nullptr);
    summary_->clear();
    skipped_->hide();
    ShowLoading(true);
    ShowProgress(contacts::LoadStage::Reading, 0, 0);
    show();
    raise();
    activateWindow();
    loader_.Start(
        path,
        [this](contacts::LoadStage stage, uint64_t done, uint64_t total) {
            ShowProgress(stage, done, total);
        },
        [this](contacts::LoadResult& result) { Loaded(result); });
}

void ContactListWindow::ShowLoading(bool loading) {
    stage_->setVisible(loading);
    progress_->setVisible(loading);
    stop_->setVisible(loading);
}

void ContactListWindow::ShowProgress(contacts::LoadStage stage, uint64_t done, uint64_t total) {
    switch (stage) {
    case contacts::LoadStage::Reading:
        stage_->setText(QStringLiteral("Reading the file..."));
        break;
    case contacts::LoadStage::Parsing:
        stage_->setText(QStringLiteral("Reading the records..."));
        break;
    case contacts::LoadStage::Listing:
        stage_->setText(QStringLiteral("Listing the contacts..."));
        break;
    }
    // The reader gives no progress of its own: the bar then moves without a measure.
    if (total == 0) {
        progress_->setRange(0, 0);
        return;
    }
    progress_->setRange(0, 1000);
    progress_->setValue(int(std::min<uint64_t>(1000, done * 1000 / total)));
}

void ContactListWindow::Loaded(contacts::LoadResult& result) {
    ShowLoading(false);
    if (result.status != contacts::LoadResult::Status::Loaded) {
        const std::string message = path_ + ": " + result.error;
        summary_->setText(Q(message));
        if (toolkit::HasApplication())
            toolkit::Application().Guard([&] { throw graphics::Exception(message); });
        return;
    }
    LogSettings().SetLastLog(path_);
    model_->SetLog(std::make_shared<const contacts::ContactLog>(std::move(result.log)));
    const std::string skipped = SkippedText(*model_->Log(), kSkippedInLine);
    skipped_->setText(Q(skipped));
    skipped_->setToolTip(Q(SkippedText(*model_->Log(), kSkippedInTip)));
    skipped_->setVisible(!skipped.empty());
    if (model_->rowCount() > 0)
        table_->selectRow(0);
    UpdateSummary();
    filter_->setFocus();
}

void ContactListWindow::UpdateSummary() {
    const contacts::ContactLog* log = model_->Log();
    if (log == nullptr)
        return;
    size_t damaged = 0;
    for (const contacts::SkippedRecord& skipped : log->skipped)
        damaged += skipped.damaged ? 1 : 0;
    std::string text = QFileInfo(Q(log->path)).fileName().toStdString() + ": " +
                       Plural(log->contacts.size(), "contact", "contacts");
    if (damaged > 0)
        text += ", " + Plural(damaged, "damaged record", "damaged records") + " skipped";
    if (log->skipped.size() > damaged)
        text += ", " +
                Plural(log->skipped.size() - damaged, "record without a call",
                       "records without a call") +
                " skipped";
    if (size_t(model_->rowCount()) != log->contacts.size())
        text += "; " + std::to_string(model_->rowCount()) + " shown";
    summary_->setText(Q(text));
}

void ContactListWindow::PickCurrent() {
    const QModelIndex current = table_->currentIndex();
    PickRow(current.isValid() ? current.row() : 0);
}

void ContactListWindow::PickRow(int row) {
    const contacts::LogContact* contact = model_->ContactAt(row);
    if (contact == nullptr || !onPick_)
        return;
    onPick_(contacts::FieldsOf(*contact, model_->DatePattern()));
}

void ContactListWindow::DatePatternEdited(const QString& text) {
    const std::string pattern = text.toStdString();
    // A text that names no part of the date would hide every date; it waits for more typing.
    const bool valid = qsl::IsDatePattern(pattern);
    datePattern_->setStyleSheet(valid ? QString() : QStringLiteral("color: #b00000"));
    if (!valid)
        return;
    model_->SetDatePattern(pattern);
    LogSettings().SetDatePattern(pattern);
}

} // namespace loglist
