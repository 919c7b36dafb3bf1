#pragma once

#include <QSet>
#include <QString>
#include <deque>

#include "results/lookup_result.h"

namespace numtrail {

// Every result row of the window, newest first (index 0 is the top of the list). Inserting at
// the top costs the same whatever the number of rows; removing one row moves the rows on the
// shorter side of it. Field values that repeat from row to row (provinces, cities, area codes,
// postcodes, card types) are held once and shared, so that a million rows fit in memory.
class ResultStore {
  public:
    using const_iterator = std::deque<LookupResult>::const_iterator;

    qsizetype Count() const { return static_cast<qsizetype>(rows_.size()); }
    bool IsEmpty() const { return rows_.empty(); }
    const LookupResult& Row(qsizetype index) const {
        return rows_[static_cast<std::size_t>(index)];
    }
    // Top to bottom.
    const_iterator begin() const { return rows_.begin(); }
    const_iterator end() const { return rows_.end(); }

    void InsertTop(LookupResult row);
    void Remove(qsizetype index);
    void Clear();

  private:
    void Share(QString& value);

    std::deque<LookupResult> rows_;
    QSet<QString> values_;
};

}  // namespace numtrail
