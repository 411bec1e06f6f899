// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QVariant>
#include <QWidget>

// The window's colours, written 0xRRGGBB.
namespace Colors {
inline constexpr QRgb WindowOrange = 0xFFC080;
inline constexpr QRgb ValueFieldNormal = 0xFFE0C0;
inline constexpr QRgb TargetFieldNormal = 0xC0FFC0;
inline constexpr QRgb Grey = 0xC0C0C0;
inline constexpr QRgb HitGreen = 0x00FF00;

// Paints a control's background in its own background role (Base for text fields, Button
// for option buttons, Window for labels and frames). Push buttons keep the platform's
// button face: their colour is only stored.
inline void setBackColor(QWidget* w, QRgb rgb) {
    if (qobject_cast<QPushButton*>(w)) {
        w->setProperty("BackColor", uint(rgb));
        return;
    }
    if (w->palette().color(w->backgroundRole()).rgb() == QColor::fromRgb(rgb).rgb() &&
        (w->autoFillBackground() || qobject_cast<QLineEdit*>(w)))
        return; // unchanged: spares the palette change and its repaint
    QPalette palette = w->palette();
    palette.setColor(w->backgroundRole(), QColor::fromRgb(rgb));
    w->setPalette(palette);
    if (!qobject_cast<QLineEdit*>(w))
        w->setAutoFillBackground(true);
}

inline QRgb backColor(const QWidget* w) {
    if (qobject_cast<const QPushButton*>(w))
        return QRgb(w->property("BackColor").toUInt());
    return w->palette().color(w->backgroundRole()).rgb() & 0xFFFFFF;
}
} // namespace Colors
