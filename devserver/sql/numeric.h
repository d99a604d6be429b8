#pragma once
// numeric(p,s) and money as exact decimals: their text, parsing, rescaling and the digits a
// value needs.

#include "devserver/values/values.h"

#include <QString>

#include <optional>

namespace ztds::sql {

// numeric keeps up to 38 digits: 10^38 still fits in 128 bits.
inline constexpr int maxNumericDigits = 38;
__int128 powerOfTen(int n);

// numeric: exact text ("-12.340"), parsing of decimal text (nullopt: not a number, or more
// than 38 digits), and the digits a value needs.
QString numericText(const NumericValue& v);
std::optional<NumericValue> parseNumeric(const QString& text);
int numericDigits(const NumericValue& v);
// The nearest double, through the exact decimal text.
double numericToDouble(const NumericValue& v);
// Rescaled with rounding half away from zero; nullopt when more than 38 digits are needed.
std::optional<NumericValue> rescale(const NumericValue& v, int scale);
// The value as a number of 10^-4 units, nullopt beyond money's range.
std::optional<int64_t> numericToMoney(const NumericValue& v);

// money with 2 or 4 decimals, as CONVERT writes it.
QString moneyText(const MoneyValue& v, int decimals);

} // namespace ztds::sql
