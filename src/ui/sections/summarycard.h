#pragma once

#include <QAbstractButton>
#include <QColor>

// A clickable card: a symbol in a colour, a title and a value line, optionally a trailing
// symbol. Used for the library cards, the clean-up cards and the wide duplicates card. Its
// accessible name is its title and its description the value line.
class SummaryCard : public QAbstractButton
{
    Q_OBJECT

public:
    SummaryCard(const QString &symbol, const QColor &tint, const QString &title, const QString &value,
        QWidget *parent = nullptr);

    const QString &title() const { return m_title; }
    const QString &value() const { return m_value; }
    const QString &symbol() const { return m_symbol; }
    // A wide card: symbol, title and value side by side, with `symbol` at the trailing end.
    void setTrailingSymbol(const QString &symbol);
    void setValue(const QString &value);
    void setSymbol(const QString &symbol, const QColor &tint);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    QColor m_tint;
    QString m_title;
    QString m_value;
    QString m_trailing;
};
