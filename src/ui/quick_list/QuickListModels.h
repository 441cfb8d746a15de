// Item models of the quick list: the record list shows the filter's rows,
// the category list the category names with the current one in white.
#pragma once

#include "SearchFilter.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QColor>

inline const QColor ListBackground(250, 250, 250);
inline const QColor LastUsedColour(0, 0, 255);
inline const QColor SpecialColour(255, 0, 0);
inline const QColor CategoryColour(128, 128, 128);
inline const QColor CurrentCategoryColour(255, 255, 255);

// The filter's rows as the record list shows them: the running number, the
// title, and the "详" cell, which shows nothing and brings the balloon
// quickly. Texts are decoded only for the cells that are painted; the row's
// record ID comes with IdRole.
class RecordListModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { NumberColumn, TitleColumn, DetailColumn, ColumnCount };
    static constexpr int IdRole = Qt::UserRole;

    explicit RecordListModel(const SearchFilter *filter, QObject *parent = nullptr);

    // Call around every change of the filter's rows.
    void beginRefill() { beginResetModel(); }
    void endRefill() { endResetModel(); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

  private:
    const SearchFilter *m_filter;
};

// The single column "分类名称" of the category list.
class CategoryListModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    void setNames(const QStringList &names);
    const QStringList &names() const { return m_names; }
    // The row drawn white, -1 for none.
    void setHighlighted(int row);
    int highlighted() const { return m_highlighted; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

  private:
    QStringList m_names;
    int m_highlighted = -1;
};
