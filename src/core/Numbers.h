#pragma once

#include <QByteArrayView>
#include <QStringView>
#include <QtGlobal>

#include <optional>

// Decimal numbers as operators type them and as instruments and files carry them:
// optional blanks, an optional sign, digits with an optional decimal point and fraction,
// optional blanks. An empty text, a lone sign or a lone point is not a number.
namespace Numbers {

bool isNumber(QStringView text);

// The number rounded to the nearest integer, an exact half to the even neighbour
// ("1.5" -> 2, "2.5" -> 2, "-0.5" -> 0). Empty when the text is not a number or the
// integer does not fit 64 bits.
std::optional<qint64> toInteger(QStringView text);

// The number's value, from the bytes an instrument replies or a log file holds: blanks
// around it may include line ends ("12.345\r" is 12.345). Empty when it is not a number.
std::optional<double> toReal(QByteArrayView text);
// How many digits follow the decimal point in such a number: 3 for "12.345\r", 0 for "12".
int decimals(QByteArrayView text);

} // namespace Numbers
