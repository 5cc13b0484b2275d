#include "toolkit/QvNetValidator.h"

#include "toolkit/QvStringUtils.h"

#include <QRegularExpression>

namespace {

// Top-level domains are no longer limited to six letters ("photography",
// "international"); a DNS label holds at most 63 characters. The same holds
// for the domain test below.
const QRegularExpression& emailPattern()
{
    static const QRegularExpression re(QRegularExpression::anchoredPattern(
        QStringLiteral("[A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,63}")));
    return re;
}

const QRegularExpression& domainPattern()
{
    static const QRegularExpression re(QRegularExpression::anchoredPattern(
        QStringLiteral("(?:[a-zA-Z0-9]+(?:\\-*[a-zA-Z0-9])*\\.)+[a-zA-Z]{2,63}")));
    return re;
}

const QRegularExpression& numericDomainPattern()
{
    static const QRegularExpression re(QRegularExpression::anchoredPattern(QStringLiteral(
        "([0-2]*[0-9]+[0-9]+)\\.([0-2]*[0-9]+[0-9]+)\\.([0-2]*[0-9]+[0-9]+)\\.([0-2]*[0-9]+[0-9]+)")));
    return re;
}

bool matchesWhole(const QRegularExpression& re, const QString& text)
{
    return re.match(QvStringUtils::trimLateralSpace(text)).hasMatch();
}

} // namespace

bool QvNetValidator::isValidEmail(const QString& text)
{
    return matchesWhole(emailPattern(), text);
}

bool QvNetValidator::isValidEmailAlsoMultiple(const QString& text)
{
    const QStringList pieces = text.split(QLatin1Char(','));
    for (const QString& piece : pieces) {
        if (piece.isEmpty())
            continue;
        if (!isValidEmail(piece))
            return false;
    }
    return true;
}

bool QvNetValidator::isValidDomain(const QString& text)
{
    return matchesWhole(domainPattern(), text);
}

bool QvNetValidator::isNumericDomain(const QString& text)
{
    return matchesWhole(numericDomainPattern(), text);
}
