#include "StrictDecimal.h"

#include "AppError.h"

#include <limits>

std::optional<int> DecimalValue(const QString &text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    const qint64 limit = negative ? -qint64(std::numeric_limits<int>::min()) : std::numeric_limits<int>::max();
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > limit)
            return std::nullopt;
    }
    return int(negative ? -value : value);
}

int StrToInt(const QString &text)
{
    if (const std::optional<int> value = DecimalValue(text))
        return *value;
    throw TVelmarError(QStringLiteral("'%1' n'est pas une valeur entière correcte").arg(text));
}
