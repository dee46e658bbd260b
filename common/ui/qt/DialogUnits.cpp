// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/DialogUnits.h"

#include <QApplication>
#include <QFontMetrics>
#include <algorithm>

namespace
{

constexpr const char* kShellDialogFace = "MS Shell Dlg";
constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kReferenceBaseX = 6;

// The product over the denominator, rounded to the nearest, as the platform's MulDiv gives it.
int ScaleRounded(int nNumber, int nNumerator, int nDenominator)
{
    const long long nProduct = static_cast<long long>(nNumber) * nNumerator;
    const long long nHalf = nDenominator / 2;
    return static_cast<int>((nProduct >= 0 ? nProduct + nHalf : nProduct - nHalf) / nDenominator);
}

int BaseX(const QFontMetrics& metrics)
{
    return (metrics.horizontalAdvance(QString::fromLatin1(kAlphabet)) / 26 + 1) / 2;
}

} // namespace

RECT MapDialogRect(const RECT& rcDialogUnits, const QFont& font)
{
    const QFontMetrics metrics(font);
    const int nBaseX = BaseX(metrics);
    const int nBaseY = metrics.height();
    return RECT{ScaleRounded(rcDialogUnits.left, nBaseX, 4),
                ScaleRounded(rcDialogUnits.top, nBaseY, 8),
                ScaleRounded(rcDialogUnits.right, nBaseX, 4),
                ScaleRounded(rcDialogUnits.bottom, nBaseY, 8)};
}

int ScaleDialogPixels(int nPixels, const QFont& font)
{
    return std::max(nPixels, ScaleRounded(nPixels, BaseX(QFontMetrics(font)), kReferenceBaseX));
}

QFont DialogFont(const std::string& strFace, int nPointSize)
{
    QFont font = QApplication::font();
    if (!strFace.empty() && strFace != kShellDialogFace)
        font.setFamily(QString::fromStdString(strFace));
    font.setPointSize(nPointSize);
    return font;
}
