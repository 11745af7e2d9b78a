#pragma once

#include <QColor>

// The meter's display: dark segments on a pale green-grey glass, with the
// unlit segments faintly visible as on a real liquid-crystal display.
namespace LcdColours {
inline QColor glass()
{
    return QColor(0xC9, 0xD5, 0xB9);
}
inline QColor ink()
{
    return QColor(0x1B, 0x26, 0x1B);
}
inline QColor ghost()
{
    return QColor(0x1B, 0x26, 0x1B, 22);
}
inline QColor frame()
{
    return QColor(0x5A, 0x66, 0x55);
}
} // namespace LcdColours
