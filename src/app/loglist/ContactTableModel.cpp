#include "app/loglist/ContactTableModel.h"

#include "qsl/Contact.h"

#include <utility>

namespace loglist {

using contacts::Column;

ContactTableModel::ContactTableModel(QObject* parent)
    : QAbstractTableModel(parent), datePattern_(qsl::kDefaultDateFormat) {}

void ContactTableModel::SetLog(std::shared_ptr<const contacts::ContactLog> log) {
    beginResetModel();
    log_ = std::move(log);
    Reorder();
    endResetModel();
}

void ContactTableModel::Reorder() {
    sorted_ =
        log_ ? contacts::SortedOrder(log_->contacts, column_, order_) : std::vector<uint32_t>{};
    shown_ = log_ ? contacts::FilterByCall(*log_, sorted_, filter_) : std::vector<uint32_t>{};
}

void ContactTableModel::SetDatePattern(const std::string& pattern) {
    if (pattern == datePattern_)
        return;
    datePattern_ = pattern;
    if (!shown_.empty())
        emit dataChanged(index(0, int(Column::Date)), index(rowCount() - 1, int(Column::Date)));
}

void ContactTableModel::SetFilter(const std::string& text) {
    if (text == filter_)
        return;
    filter_ = text;
    Refilter();
}

void ContactTableModel::Refilter() {
    beginResetModel();
    shown_ = log_ ? contacts::FilterByCall(*log_, sorted_, filter_) : std::vector<uint32_t>{};
    endResetModel();
}

const contacts::LogContact* ContactTableModel::ContactAt(int row) const {
    if (row < 0 || size_t(row) >= shown_.size())
        return nullptr;
    return &log_->contacts[shown_[size_t(row)]];
}

int ContactTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(shown_.size());
}

int ContactTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : contacts::kColumnCount;
}

QVariant ContactTableModel::data(const QModelIndex& index, int role) const {
    const contacts::LogContact* contact = ContactAt(index.row());
    if (contact == nullptr || index.column() < 0 || index.column() >= contacts::kColumnCount)
        return {};
    const auto column = Column(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(contacts::CellText(*contact, column, datePattern_));
    case Qt::ToolTipRole:
        if (column == Column::Call && !contact->fields.operatorName.empty())
            return QString::fromStdString(contacts::FieldsOf(*contact, datePattern_).operatorName);
        return {};
    case Qt::TextAlignmentRole:
        if (column == Column::Frequency)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant ContactTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= contacts::kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromUtf8(contacts::ColumnTitle(Column(section)).data(),
                             qsizetype(contacts::ColumnTitle(Column(section)).size()));
}

void ContactTableModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= contacts::kColumnCount)
        return;
    column_ = Column(column);
    order_ = order == Qt::AscendingOrder ? contacts::SortOrder::Ascending
                                         : contacts::SortOrder::Descending;
    // The same contacts in another order: the selected contact stays selected wherever it goes.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<uint32_t> contactsBefore;
    contactsBefore.reserve(size_t(before.size()));
    for (const QModelIndex& index : before)
        contactsBefore.push_back(shown_[size_t(index.row())]);
    Reorder();
    if (!before.isEmpty()) {
        std::vector<int> rowOf(log_ ? log_->contacts.size() : 0, -1);
        for (size_t row = 0; row < shown_.size(); ++row)
            rowOf[shown_[row]] = int(row);
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i)
            after.push_back(index(rowOf[contactsBefore[size_t(i)]], before[i].column()));
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace loglist
