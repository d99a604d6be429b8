#include "devserver/sql/numeric.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace ztds::sql {

namespace {

using Int128 = __int128;

QString int128Text(Int128 v) {
    // Magnitude taken as unsigned before negating: -(min) would overflow.
    const bool negative = v < 0;
    unsigned __int128 magnitude =
        negative ? static_cast<unsigned __int128>(-(v + 1)) + 1 : static_cast<unsigned __int128>(v);
    QString digits;
    do {
        digits.prepend(QChar(u'0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    return negative ? u'-' + digits : digits;
}

} // namespace

__int128 powerOfTen(int n) {
    Int128 p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

QString moneyText(const MoneyValue& v, int decimals) {
    int64_t t = v.tenThousandths;
    const bool negative = t < 0;
    uint64_t magnitude = negative ? static_cast<uint64_t>(-(t + 1)) + 1 : static_cast<uint64_t>(t);
    if (decimals == 2)
        magnitude = (magnitude + 50) / 100 * 100;
    QString fraction = QString::number(magnitude % 10000).rightJustified(4, u'0').left(decimals);
    return QStringLiteral("%1%2.%3")
        .arg(negative ? QStringLiteral("-") : QString())
        .arg(magnitude / 10000)
        .arg(fraction);
}

QString numericText(const NumericValue& v) {
    QString digits = int128Text(v.unscaled);
    const bool negative = digits.startsWith(u'-');
    if (negative)
        digits.remove(0, 1);
    if (v.scale > 0) {
        digits = digits.rightJustified(v.scale + 1, u'0');
        digits.insert(digits.size() - v.scale, u'.');
    }
    return negative ? u'-' + digits : digits;
}

std::optional<NumericValue> parseNumeric(const QString& input) {
    QString text = input.trimmed();
    thread_local const QRegularExpression form(
        QStringLiteral("^[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+'))
        text.remove(0, 1);
    const qsizetype dot = text.indexOf(u'.');
    QString whole = dot < 0 ? text : text.left(dot);
    const QString fraction = dot < 0 ? QString() : text.mid(dot + 1);
    while (whole.size() > 1 && whole.startsWith(u'0'))
        whole.remove(0, 1);
    if (whole == QLatin1String("0") || whole.isEmpty())
        whole.clear();
    // Digits counted before any arithmetic: 38 of them always fit in 128 bits.
    if (whole.size() + fraction.size() > maxNumericDigits)
        return std::nullopt;
    Int128 unscaled = 0;
    for (const QChar c : whole + fraction)
        unscaled = unscaled * 10 + (c.unicode() - u'0');
    return NumericValue{negative ? -unscaled : unscaled, static_cast<uint8_t>(fraction.size())};
}

double numericToDouble(const NumericValue& v) {
    return numericText(v).toDouble();
}

int numericDigits(const NumericValue& v) {
    int digits = int(int128Text(v.unscaled).remove(u'-').size());
    return std::max({digits, int(v.scale), 1});
}

std::optional<NumericValue> rescale(const NumericValue& v, int scale) {
    if (scale < 0 || scale > maxNumericDigits)
        return std::nullopt;
    const Int128 limit = powerOfTen(maxNumericDigits);
    if (scale >= v.scale) {
        const Int128 factor = powerOfTen(scale - v.scale);
        // Checked by division first: the product must stay below 10^38.
        const Int128 magnitude = v.unscaled < 0 ? -v.unscaled : v.unscaled;
        if (magnitude > (limit - 1) / factor)
            return std::nullopt;
        return NumericValue{v.unscaled * factor, static_cast<uint8_t>(scale)};
    }
    const Int128 divisor = powerOfTen(v.scale - scale);
    Int128 quotient = v.unscaled / divisor;
    const Int128 remainder = v.unscaled % divisor;
    // Half away from zero, compared without doubling (which could pass 2^127).
    const Int128 rest = remainder < 0 ? -remainder : remainder;
    if (rest >= divisor - rest)
        quotient += remainder < 0 ? -1 : 1;
    return NumericValue{quotient, static_cast<uint8_t>(scale)};
}

std::optional<int64_t> numericToMoney(const NumericValue& v) {
    const auto scaled = rescale(v, 4);
    if (!scaled || scaled->unscaled > std::numeric_limits<int64_t>::max() ||
        scaled->unscaled < std::numeric_limits<int64_t>::min())
        return std::nullopt;
    return static_cast<int64_t>(scaled->unscaled);
}

} // namespace ztds::sql
