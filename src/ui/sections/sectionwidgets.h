#pragma once

#include <QString>
#include <QStringView>

class QAbstractButton;
class QLabel;
class QLayout;
class QPushButton;
class QWidget;

// Small building blocks the sections share. Main thread only.
class QVBoxLayout;

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
// Deletes every item of `layout` and the widgets they hold.
void clear(QLayout *layout);
} // namespace SectionWidgets

namespace SectionWidgets {
// Whether a menu or a mouse drag is in progress: sections postpone rebuilding then, so the
// widget a menu or drag came from is not deleted under it.
bool interactionInProgress();
// A horizontally scrolling strip holding `content` (which gets a fixed height).
QWidget *horizontalStrip(QWidget *content);
// Fills `section` with a frameless, vertically scrolling page with the sections' margins and
// returns the page's column, its items `spacing` apart.
QVBoxLayout *scrollingPage(QWidget *section, int spacing);
} // namespace SectionWidgets
