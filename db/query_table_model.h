#pragma once
// A read-only table over an open query for a data grid: one column of the result, one line per
// row, kept in step with the query's current row both ways.

#include "db/query.h"

#include <QAbstractTableModel>
#include <QString>

namespace zt::db {

class QueryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The model reads `query` while both live; a query listens to one model at a time (the
    // latest), so one grid per query.
    QueryTableModel(Query& query, QString columnName, QObject* parent = nullptr);
    ~QueryTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void setHeaderCaption(const QString& caption);
    void setHeaderAlignment(Qt::Alignment alignment); // of the column title
    const QString& columnName() const { return columnName_; }

    int currentRow() const;      // the query's current row, -1 when none
    void setCurrentRow(int row); // moves the query

signals:
    void currentRowChanged(int row);

private:
    void queryChanged(Query::Change change);

    Query& query_;
    QString columnName_;
    QString headerCaption_;
    Qt::Alignment headerAlignment_; // none set: the header's own default
};

} // namespace zt::db
