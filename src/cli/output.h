#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

// Buffered writing of exact bytes to a stdio stream; flushed when large and on destruction.
class Output
{
public:
    explicit Output(FILE *stream) : m_stream(stream) { }
    ~Output() { flush(); }
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    Output &operator<<(const QByteArray &bytes);
    Output &operator<<(const char *text) { return *this << QByteArray(text); }
    Output &operator<<(const QString &text) { return *this << text.toUtf8(); }
    void flush();

private:
    FILE *m_stream;
    QByteArray m_buffer;
};
