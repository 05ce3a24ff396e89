#pragma once

#include "../store/storetesting.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>
#include <QWidget>

// Helpers shared by the frame's widget tests.
namespace FrameTesting {

// The first descendant of `root` of type T whose accessible name is `name`, or null.
template <typename T> T *named(const QWidget *root, const QString &name)
{
    const QList<T *> all = root->findChildren<T *>();
    for (T *widget : all)
        if (widget->accessibleName() == name)
            return widget;
    return nullptr;
}

// Whether `widget` exists and would be visible when `root` is.
inline bool shown(const QWidget *widget, const QWidget *root)
{
    return widget && widget->isVisibleTo(root);
}

// Gives `widget` the size when one is given, shows it and waits until it is on screen.
inline bool exposed(QWidget &widget, QSize size = {})
{
    if (size.isValid())
        widget.resize(size);
    widget.show();
    return QTest::qWaitForWindowExposed(&widget);
}

// The texts of the labels of `root` that would be visible, top to bottom in creation order.
inline QStringList shownLabelTexts(const QWidget *root)
{
    QStringList texts;
    const QList<QLabel *> labels = root->findChildren<QLabel *>();
    for (const QLabel *label : labels)
        if (label->isVisibleTo(root) && !label->text().isEmpty())
            texts.append(label->text());
    return texts;
}

} // namespace FrameTesting
