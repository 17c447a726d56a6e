#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <utility>

// Helpers for turning a window definition, written in twips and Windows colours, into Qt
// widgets.
namespace tessivo::forms {

inline constexpr int TwipsPerPixel = 15; // at 96 dpi

constexpr QSize sizeFromTwips(int width, int height)
{
    return {width / TwipsPerPixel, height / TwipsPerPixel};
}

constexpr QRect rectFromTwips(int left, int top, int width, int height)
{
    return {left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel,
            height / TwipsPerPixel};
}

// "MS Sans Serif" bold at `points` (8.25, 9.75 or 12), or the closest sans-serif face
// installed: metric-compatible faces first, so every caption fits its control.
QFont formFont(qreal points);

// A new control `name` on `client`, at `where`, owned by the client area; `arguments` go to
// its constructor before its parent.
template <typename Widget, typename... Arguments>
Widget* place(QWidget& client, const char* name, const QRect& where, const QString& accessibleName,
              Arguments&&... arguments)
{
    auto* widget = new Widget(std::forward<Arguments>(arguments)..., &client); // owned by it
    widget->setObjectName(QLatin1StringView(name));
    widget->setGeometry(where);
    widget->setAccessibleName(accessibleName);
    return widget;
}

// Sets one colour role of `widget` and makes the widget paint its own background.
void setColour(QWidget& widget, QPalette::ColorRole role, const QColor& colour);

} // namespace tessivo::forms
