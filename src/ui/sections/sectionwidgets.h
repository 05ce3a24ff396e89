#pragma once

#include <QString>
#include <QStringView>

class QAbstractButton;
class QLabel;
class QPushButton;
class QWidget;

class QVBoxLayout;

// Small building blocks the sections share. Main thread only.

namespace SectionWidgets {
// A title line with a secondary detail line under it, and an optional trailing control.
QWidget *heading(const QString &title, const QString &detail, QWidget *trailing = nullptr);
// A large title label.
QLabel *title(const QString &text, int pointDelta = 8);
// A secondary (dimmed, wrapping) text label.
QLabel *secondary(const QString &text);
// A centred empty state: symbol, title and text.
QWidget *emptyState(QStringView symbol, const QString &title, const QString &text);
// A flat text button; its accessible name is its text.
QPushButton *linkButton(const QString &text);
// A push button with a symbol; its accessible name is its text.
QPushButton *button(const QString &text, QStringView symbol = {});
// A horizontally scrolling strip holding `content`, as tall as the content asks (and following
// it when its items change size).
QWidget *horizontalStrip(QWidget *content);
// Fills `section` with a frameless, vertically scrolling page with the sections' margins and
// returns the page's column, its blocks Theme::Metrics::kBlockGap apart.
QVBoxLayout *scrollingPage(QWidget *section);
} // namespace SectionWidgets
