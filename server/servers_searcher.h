#pragma once
// One search for SQL Servers on a worker thread of its own. It asks the ODBC driver "SQL Server"
// for a browse answer; where no driver answers a browse, it answers from the servers that the
// FreeTDS installation already knows. The servers arrive by serversFound on the receiver's
// thread, then finished; the searcher deletes itself after finished.

#include <QString>
#include <QStringList>
#include <QThread>

#include <optional>

namespace zt::server {

// Splits a browse answer into target: the text between the first "={" and the next "};",
// cut at every ",". Entries stay as they stand (empty ones and duplicates included).
bool ParseServerList(const QString& answer, QStringList& target);

// A browse answer that lists the servers the FreeTDS installation knows by name: the
// sections of its freetds.conf files, then its ODBC data sources; empty when none.
QString knownServersAnswer();

class TServersSearcher : public QThread {
    Q_OBJECT

public:
    TServersSearcher();
    ~TServersSearcher() override;

    static constexpr int browseBufferSize = 5120;

signals:
    // Emitted at most once, from the worker thread; not emitted when nothing answered.
    void serversFound(const QStringList& servers);

protected:
    void run() override;

private:
    // The browse answer of the ODBC driver; empty when the browse was refused.
    std::optional<QString> browse();
    void publish(const QString& answer);
};

} // namespace zt::server
