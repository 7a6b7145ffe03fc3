#include "core/Numbers.h"

#include <cctype>
#include <charconv>
#include <limits>

namespace {

struct Parts {
    bool negative = false;
    QStringView whole;
    QStringView fraction;
};

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}
bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

std::optional<Parts> split(QStringView t)
{
    qsizetype b = 0, e = t.size();
    while (b < e && isBlank(t[b]))
        ++b;
    while (e > b && isBlank(t[e - 1]))
        --e;
    t = t.sliced(b, e - b);
    Parts p;
    if (!t.isEmpty() && (t[0] == u'-' || t[0] == u'+')) {
        p.negative = t[0] == u'-';
        t = t.sliced(1);
    }
    qsizetype i = 0;
    while (i < t.size() && isDigit(t[i]))
        ++i;
    p.whole = t.first(i);
    if (i < t.size() && t[i] == u'.') {
        const qsizetype start = ++i;
        while (i < t.size() && isDigit(t[i]))
            ++i;
        p.fraction = t.sliced(start, i - start);
    }
    if (i != t.size() || (p.whole.isEmpty() && p.fraction.isEmpty()))
        return std::nullopt;
    return p;
}

} // namespace

namespace Numbers {

bool isNumber(QStringView text)
{
    return split(text).has_value();
}

std::optional<qint64> toInteger(QStringView text)
{
    const auto p = split(text);
    if (!p)
        return std::nullopt;
    // Magnitude in unsigned arithmetic so that the most negative value still fits.
    constexpr quint64 limit = quint64(std::numeric_limits<qint64>::max()) + 1;
    quint64 magnitude = 0;
    for (QChar c : p->whole) {
        const quint64 digit = quint64(c.unicode() - u'0');
        if (magnitude > (limit - digit) / 10)
            return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    // Exact decimal rounding: compare the fraction with one half digit by digit.
    if (!p->fraction.isEmpty()) {
        const QChar first = p->fraction[0];
        bool roundUp = first > u'5';
        if (first == u'5') {
            bool beyondHalf = false;
            for (QChar c : p->fraction.sliced(1))
                beyondHalf = beyondHalf || c != u'0';
            roundUp = beyondHalf || (magnitude % 2 == 1);
        }
        if (roundUp) {
            if (magnitude == limit)
                return std::nullopt;
            ++magnitude;
        }
    }
    if (p->negative) {
        if (magnitude == limit)
            return std::numeric_limits<qint64>::min();
        return -qint64(magnitude);
    }
    if (magnitude == limit)
        return std::nullopt;
    return qint64(magnitude);
}

int decimals(QByteArrayView text)
{
    const qsizetype point = text.indexOf('.');
    int n = 0;
    if (point >= 0)
        for (qsizetype i = point + 1; i < text.size() && std::isdigit(uchar(text[i])); ++i)
            ++n;
    return n;
}

std::optional<double> toReal(QByteArrayView text)
{
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    const char *b = text.data();
    const char *e = b + text.size();
    while (b < e && blank(*b))
        ++b;
    while (e > b && blank(e[-1]))
        --e;
    bool negative = false;
    if (b < e && (*b == '-' || *b == '+'))
        negative = *b++ == '-';
    // The grammar of isNumber, which from_chars alone would widen (exponents, "inf").
    const char *p = b;
    int digits = 0;
    for (; p < e && std::isdigit(static_cast<unsigned char>(*p)); ++p)
        ++digits;
    if (p < e && *p == '.')
        for (++p; p < e && std::isdigit(static_cast<unsigned char>(*p)); ++p)
            ++digits;
    if (p != e || digits == 0)
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(b, e, value, std::chars_format::fixed);
    if (ec != std::errc() || end != e)
        return std::nullopt;
    return negative ? -value : value;
}

} // namespace Numbers
