#include "ui/common/theme.h"

namespace {

QColor rgb(double r, double g, double b)
{
    return QColor::fromRgbF(float(r), float(g), float(b));
}

} // namespace

namespace Theme {

QColor accent()
{
    return rgb(0.24, 0.43, 0.35);
}

QColor ink(const QPalette &palette)
{
    return palette.color(QPalette::WindowText);
}

QColor systemGrey()
{
    return rgb(0.557, 0.557, 0.576);
}

QColor kindTint(FileKind kind, bool minimal)
{
    if (minimal)
        return systemGrey();
    switch (kind) {
    case FileKind::images:
        return rgb(0.70, 0.65, 0.89);
    case FileKind::videos:
        return rgb(0.57, 0.72, 0.91);
    case FileKind::music:
        return rgb(0.93, 0.69, 0.57);
    case FileKind::documents:
        return rgb(0.54, 0.77, 0.67);
    case FileKind::archives:
        return rgb(0.88, 0.77, 0.47);
    case FileKind::apps:
        return rgb(0.88, 0.61, 0.72);
    case FileKind::other:
        break;
    }
    return systemGrey();
}

QPalette lightPalette()
{
    QPalette p;
    const QColor window(0xf6, 0xf5, 0xf4);
    const QColor base(0xff, 0xff, 0xff);
    const QColor text(0x1d, 0x1d, 0x1f);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0xf0, 0xef, 0xee));
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x86, 0x86, 0x8b));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0xed, 0xec, 0xeb));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, Qt::white);
    p.setColor(QPalette::Midlight, QColor(0xe4, 0xe3, 0xe2));
    p.setColor(QPalette::Mid, QColor(0xc8, 0xc7, 0xc6));
    p.setColor(QPalette::Dark, QColor(0xa0, 0x9f, 0x9e));
    p.setColor(QPalette::Shadow, QColor(0x50, 0x50, 0x50));
    p.setColor(QPalette::Highlight, accent());
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, accent());
    p.setColor(QPalette::LinkVisited, accent().darker(120));
    const QColor disabled(0x9a, 0x9a, 0x9e);
    p.setColor(QPalette::Disabled, QPalette::WindowText, disabled);
    p.setColor(QPalette::Disabled, QPalette::Text, disabled);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, disabled);
    return p;
}

QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x24, 0x24, 0x26);
    const QColor base(0x1c, 0x1c, 0x1e);
    const QColor text(0xf2, 0xf2, 0xf4);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0x2c, 0x2c, 0x2e));
    p.setColor(QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3c));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3c));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4c));
    p.setColor(QPalette::Midlight, QColor(0x3a, 0x3a, 0x3c));
    p.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x32));
    p.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    p.setColor(QPalette::Shadow, Qt::black);
    const QColor highlight = accent().lighter(135);
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, highlight);
    p.setColor(QPalette::LinkVisited, highlight.darker(115));
    const QColor disabled(0x6e, 0x6e, 0x73);
    p.setColor(QPalette::Disabled, QPalette::WindowText, disabled);
    p.setColor(QPalette::Disabled, QPalette::Text, disabled);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, disabled);
    return p;
}

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

QMargins Metrics::page(PageEnd end)
{
    return QMargins(24, 20, 24, end == PageEnd::padded ? 24 : 0);
}

} // namespace Theme
