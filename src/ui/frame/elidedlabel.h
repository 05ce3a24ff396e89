#pragma once

#include <QWidget>

// One line of text that is cut with an ellipsis where the space runs out, instead of widening
// its layout. The full text is its accessible name and tooltip. Main thread only.
class ElidedLabel : public QWidget
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    // Draws the text in the palette's placeholder (secondary) colour instead of the text colour.
    void setSecondary(bool secondary);
    // Where the ellipsis goes; at the end unless set.
    void setElideMode(Qt::TextElideMode mode);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(class QPaintEvent *event) override;

private:
    QString m_text;
    bool m_secondary = false;
    Qt::TextElideMode m_elideMode = Qt::ElideRight;
};
