// The whole library as one read found it, in list order: common records
// first, the newest change first within each group. Copies share the data.
#pragma once

#include "Record.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <vector>

class RecordTable {
  public:
    RecordTable() = default;

    int size() const { return m_data ? int(m_data->order.size()) : 0; }
    bool isEmpty() const { return size() == 0; }

    // The ID as the library holds it (another program may have stored any value).
    QString idText(int row) const;
    // The ID as a number; none when the stored value is no whole number.
    std::optional<qint64> id(int row) const;
    const QString &group(int row) const { return cell(m_data->groups, row); }
    const QString &category(int row) const { return cell(m_data->categories, row); }
    const QString &title(int row) const { return cell(m_data->titles, row); }
    const QString &text(int row) const { return cell(m_data->texts, row); }
    const QString &changeTime(int row) const { return cell(m_data->changeTimes, row); }
    // IsUsed as stored: "常用" for a common record; empty for "" and NULL.
    const QString &commonFlag(int row) const { return cell(m_data->commonFlags, row); }
    Record record(int row) const;

  private:
    friend class LibraryStore;
    struct Data {
        std::vector<QVariant> ids;
        std::vector<QString> groups, categories, titles, texts, changeTimes, commonFlags;
        std::vector<int> order; // list position -> stored position
    };
    explicit RecordTable(std::shared_ptr<const Data> data) : m_data(std::move(data)) {}
    const QString &cell(const std::vector<QString> &column, int row) const {
        return column[size_t(m_data->order[size_t(row)])];
    }

    std::shared_ptr<const Data> m_data;
};
