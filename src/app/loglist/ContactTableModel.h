// The contact list's table: the contacts of one log in the order of the chosen column, cut
// down to the calls that match the filter. It keeps only indexes into the log, so sorting and
// filtering a large log moves numbers, not contacts.
#pragma once

#include "contacts/ContactLog.h"

#include <QAbstractTableModel>
#include <memory>
#include <string>
#include <vector>

namespace loglist {

class ContactTableModel : public QAbstractTableModel {
  public:
    explicit ContactTableModel(QObject* parent = nullptr);

    // The log shown; null shows none.
    void SetLog(std::shared_ptr<const contacts::ContactLog> log);
    const contacts::ContactLog* Log() const { return log_.get(); }
    void SetDatePattern(const std::string& pattern);
    const std::string& DatePattern() const { return datePattern_; }
    void SetFilter(const std::string& text);

    // The contact shown in row, or null.
    const contacts::LogContact* ContactAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

  private:
    // sorted_ and shown_ anew from the log, the column's order and the filter.
    void Reorder();
    void Refilter();

    std::shared_ptr<const contacts::ContactLog> log_;
    std::string datePattern_;
    std::string filter_;
    contacts::Column column_ = contacts::Column::Date;
    contacts::SortOrder order_ = contacts::SortOrder::Descending;
    std::vector<uint32_t> sorted_; // every contact, in the column's order
    std::vector<uint32_t> shown_;  // those that match the filter
};

} // namespace loglist
