#include "quick_list/QuickListModels.h"

#include <QBrush>

namespace {
const char *const RecordHeaders[col::Count] = {"序号",     "文本名称", "文本内容", "更改时间",
                                               "是否常用", "分类",     "ID",       "详细"};
}

RecordListModel::RecordListModel(const SearchFilter *filter, QObject *parent)
    : QAbstractTableModel(parent), m_filter(filter) {}

int RecordListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_filter->rowCount();
}

int RecordListModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : col::Count;
}

QVariant RecordListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_filter->text(index.row(), index.column());
    case Qt::ForegroundRole:
        // "详" is drawn in the list's own background, so the cell looks empty.
        if (index.column() == col::Detail)
            return QBrush(ListBackground);
        if (index.column() == col::Number || index.column() == col::Title) {
            switch (m_filter->colour(index.row())) {
            case RowColour::LastUsed:
                return QBrush(LastUsedColour);
            case RowColour::Special:
                return QBrush(SpecialColour);
            case RowColour::Normal:
                break;
            }
        }
        return {};
    default:
        return {};
    }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < col::Count)
        return QString::fromUtf8(RecordHeaders[section]);
    return {};
}

Qt::ItemFlags RecordListModel::flags(const QModelIndex &index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void RecordDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() != col::Detail)
        return;
    const QColor cell = option->state.testFlag(QStyle::State_Selected)
                            ? option->palette.color(QPalette::Highlight)
                            : ListBackground;
    option->palette.setColor(QPalette::Text, cell);
    option->palette.setColor(QPalette::HighlightedText, cell);
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
