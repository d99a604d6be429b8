#pragma once
// LIKE: % _ [set] [^set] and an ESCAPE character, under a CI or binary collation.

#include <QChar>
#include <QString>

#include <optional>

namespace ztds::sql {

bool likeMatch(const QString& text, const QString& pattern, bool caseInsensitive,
               std::optional<QChar> escape);

} // namespace ztds::sql
