#include "core/work_in_progress_names.h"

#include "core/input_checks.h"

#include <QRandomGenerator>
#include <QRegularExpression>

namespace zt::core {

namespace {

const QString creationMarker = QStringLiteral("$zt_building$");

} // namespace

QString unfinishedCreationName(const QString& accountSetName) {
    const quint32 suffix = QRandomGenerator::system()->generate();
    return accountSetName + creationMarker + QString::number(suffix, 16).rightJustified(8, u'0');
}

std::optional<QString> accountSetOfUnfinishedCreation(const QString& databaseName) {
    static const QRegularExpression form(
        QStringLiteral("^(.+)%1[0-9a-f]{8}$").arg(QRegularExpression::escape(creationMarker)),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(databaseName);
    if (!match.hasMatch() || !isAcceptableAccountSetName(match.captured(1)))
        return std::nullopt;
    return match.captured(1);
}

QString unfinishedCreationPattern() {
    return u'%' + creationMarker + u'%';
}

bool isProbeDatabaseName(const QString& databaseName) {
    static const QRegularExpression form(
        QStringLiteral("^%1_[0-9a-f]{16}$").arg(probeDatabasePrefix()),
        QRegularExpression::CaseInsensitiveOption);
    return form.match(databaseName).hasMatch();
}

} // namespace zt::core
