#pragma once
// An editable drop-down box for a server name that fills its own list with the SQL Servers
// found by one background search, started once the box has been loaded.

#include <QColor>
#include <QComboBox>
#include <QPalette>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "server/servers_searcher.h"

class QPainter;

namespace zt::server {

class SearchingTip;

class TSQLServersListComboBox : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(bool RefreshAfterCreate READ RefreshAfterCreate WRITE setRefreshAfterCreate)
    Q_PROPERTY(QColor TipFontColor READ TipFontColor WRITE setTipFontColor)

public:
    explicit TSQLServersListComboBox(QWidget* parent = nullptr);
    ~TSQLServersListComboBox() override;

    bool RefreshAfterCreate() const { return refreshAfterCreate_; }
    void setRefreshAfterCreate(bool refresh) { refreshAfterCreate_ = refresh; }
    QColor TipFontColor() const { return tipFontColor_; }
    void setTipFontColor(const QColor& color) { tipFontColor_ = color; }

    // Starts one search; does nothing while a search runs.
    void RefreshServers();
    bool isSearching() const { return searching_; }
    // The running search, for those who must see it end; null when idle.
    TServersSearcher* searcher() const { return searcher_; }

    static QString searchingTip();
    // The tip's top-left corner: left at the frame width, centred vertically (rounded down).
    static QPoint tipPosition(int boxHeight, int tipHeight, int frameWidth);
    int tipFrameWidth() const;

signals:
    void searchStarted();
    void searchEnded();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class SearchingTip;
    void Loaded();
    void SearchFinished();
    void replaceServers(const QStringList& servers);
    void paintSearchingTip(QPainter& painter) const;
    void showTipColours();

    QPointer<TServersSearcher> searcher_;
    SearchingTip* tip_ = nullptr; // a child widget, owned by this box
    bool searching_ = false;
    bool savedEnabled_ = true;
    bool savedEditEnabled_ = true;
    QPalette savedPalette_;
    QPalette savedEditPalette_;
    QColor tipFontColor_;
    QString savedText_;
    bool refreshAfterCreate_ = true;
};

} // namespace zt::server
