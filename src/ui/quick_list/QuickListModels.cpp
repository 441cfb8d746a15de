#include "quick_list/QuickListModels.h"

#include "TeamRecord.h"

#include <QBrush>

RecordListModel::RecordListModel(const SearchFilter *filter, QObject *parent)
    : QAbstractTableModel(parent), m_filter(filter) {}

int RecordListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_filter->rowCount();
}

int RecordListModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == NumberColumn) {
            // A team record says so in its number: "团007".
            const QString number = m_filter->text(index.row(), col::Number);
            return !m_filter->isLastUsedRow(index.row()) &&
                           m_filter->text(index.row(), col::Id).startsWith(team::IdPrefix)
                       ? QStringLiteral("团") + number
                       : number;
        }
        if (index.column() == TitleColumn)
            return m_filter->text(index.row(), col::Title);
        return {};
    case IdRole:
        return m_filter->text(index.row(), col::Id);
    case Qt::ForegroundRole:
        switch (index.column() == DetailColumn ? RowColour::Normal : m_filter->colour(index.row())) {
        case RowColour::LastUsed:
            return QBrush(LastUsedColour);
        case RowColour::Special:
            return QBrush(SpecialColour);
        case RowColour::Normal:
            break;
        }
        return {};
    default:
        return {};
    }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char *const headers[ColumnCount] = {"序号", "文本名称", "详细"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString::fromUtf8(headers[section]);
    return {};
}

Qt::ItemFlags RecordListModel::flags(const QModelIndex &index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void CategoryListModel::setNames(const QStringList &names) {
    beginResetModel();
    m_names = names;
    m_highlighted = -1;
    endResetModel();
}

void CategoryListModel::setHighlighted(int row) {
    if (row < 0 || row >= m_names.size())
        row = -1;
    const int old = m_highlighted;
    m_highlighted = row;
    if (old >= 0)
        emit dataChanged(index(old, 0), index(old, 0), {Qt::ForegroundRole});
    if (row >= 0)
        emit dataChanged(index(row, 0), index(row, 0), {Qt::ForegroundRole});
}

int CategoryListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_names.size());
}

int CategoryListModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant CategoryListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= m_names.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_names[index.row()];
    if (role == Qt::ForegroundRole)
        return QBrush(index.row() == m_highlighted ? CurrentCategoryColour : CategoryColour);
    return {};
}

QVariant CategoryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == 0)
        return QStringLiteral("分类名称");
    return {};
}

Qt::ItemFlags CategoryListModel::flags(const QModelIndex &index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
