#include "croprects/RectSpec.h"

#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace {

std::optional<CCropRect> Fail(QString* error, const QString& reason) {
    if (error != nullptr)
        *error = reason;
    return std::nullopt;
}

std::optional<double> ParseNumber(QString text) {
    text = text.trimmed();
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<CCropRect> ParseGeometry(const QString& spec, QString* error) {
    static const QRegularExpression form(QStringLiteral(R"(^(\d+)[xX](\d+)\+(\d+)\+(\d+)$)"));
    const QRegularExpressionMatch match = form.match(spec);
    if (!match.hasMatch())
        return Fail(error, QStringLiteral("expected WxH+X+Y"));
    double values[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = static_cast<double>(match.captured(i + 1).toUInt(&ok));
        if (!ok)
            return Fail(error, QStringLiteral("number out of range"));
    }
    CCropRect rect;
    rect.isPixel = 1;
    rect.left = values[2];
    rect.top = values[3];
    rect.right = values[2] + values[0];
    rect.bottom = values[3] + values[1];
    return rect;
}

}  // namespace

std::optional<CCropRect> ParseRectSpec(const QString& spec, QString* error) {
    const QString text = spec.trimmed();
    if (text.isEmpty())
        return Fail(error, QStringLiteral("empty rectangle"));
    if (!text.contains(u','))
        return ParseGeometry(text, error);

    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return Fail(error, QStringLiteral("expected four numbers L,T,R,B"));
    int percentCount = 0;
    double values[4] = {};
    for (int i = 0; i < 4; ++i) {
        QString part = parts[i].trimmed();
        if (part.endsWith(u'%')) {
            ++percentCount;
            part.chop(1);
        }
        const std::optional<double> value = ParseNumber(part);
        if (!value)
            return Fail(error, QStringLiteral("\"%1\" is not a number").arg(parts[i]));
        values[i] = *value;
    }
    if (percentCount != 0 && percentCount != 4) {
        return Fail(error, QStringLiteral("mixes pixels and percent"));
    }
    CCropRect rect;
    rect.isPixel = percentCount == 0 ? 1 : 0;
    rect.left = values[0];
    rect.top = values[1];
    rect.right = values[2];
    rect.bottom = values[3];
    return rect;
}
