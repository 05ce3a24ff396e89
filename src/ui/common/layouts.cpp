#include "ui/common/layouts.h"

#include <QLayout>
#include <QWidget>

namespace Layouts {

void clear(QLayout *layout)
{
    while (QLayoutItem *item = layout->takeAt(0)) {
        if (QWidget *widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        } else if (QLayout *child = item->layout()) {
            clear(child);
        }
        delete item;
    }
}

void refill(QLayout *layout, const std::function<void()> &fill)
{
    QWidget *holder = layout->parentWidget();
    const bool shown = holder && !holder->isHidden();
    if (shown)
        holder->hide();
    clear(layout);
    fill();
    if (shown)
        holder->show();
}

} // namespace Layouts
