#include "db/query_table_model.h"

#include <QPointer>
#include <QThread>

namespace zt::db {

QueryTableModel::QueryTableModel(Query& query, QString columnName, QObject* parent)
    : QAbstractTableModel(parent), query_(query), columnName_(std::move(columnName)),
      headerCaption_(columnName_) {
    // The guard keeps a query that outlives the model from calling into a deleted model, and the
    // model never touches the query when it goes (the query may already be gone then).
    // A query worked from another thread (an operation behind a progress window) tells the
    // model on the model's own thread and waits, so the views never see a half-told change.
    query_.setChangeListener([model = QPointer<QueryTableModel>(this)](Query::Change change) {
        if (!model)
            return;
        if (QThread::currentThread() == model->thread())
            model->queryChanged(change);
        else
            QMetaObject::invokeMethod(
                model.data(),
                [model, change] {
                    if (model)
                        model->queryChanged(change);
                },
                Qt::BlockingQueuedConnection);
    });
}

QueryTableModel::~QueryTableModel() = default;

int QueryTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !query_.isActive())
        return 0;
    return query_.recordCount();
}

int QueryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant QueryTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() != 0 || role != Qt::DisplayRole)
        return {};
    if (!query_.isActive() || !query_.fieldNames().contains(columnName_, Qt::CaseInsensitive))
        return {};
    return query_.textAt(index.row(), columnName_);
}

QVariant QueryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::TextAlignmentRole && orientation == Qt::Horizontal && section == 0 &&
        headerAlignment_ != Qt::Alignment())
        return int(headerAlignment_);
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section == 0 ? QVariant(headerCaption_) : QVariant();
    return section + 1;
}

void QueryTableModel::setHeaderCaption(const QString& caption) {
    headerCaption_ = caption;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

void QueryTableModel::setHeaderAlignment(Qt::Alignment alignment) {
    headerAlignment_ = alignment;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

int QueryTableModel::currentRow() const {
    return query_.currentRow();
}

void QueryTableModel::setCurrentRow(int row) {
    if (!query_.isActive() || row == query_.currentRow())
        return;
    query_.moveTo(row);
}

void QueryTableModel::queryChanged(Query::Change change) {
    if (change == Query::Change::Reset) {
        beginResetModel();
        endResetModel();
    }
    emit currentRowChanged(query_.currentRow());
}

} // namespace zt::db
