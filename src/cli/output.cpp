#include "cli/output.h"

Output &Output::operator<<(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    if (m_buffer.size() >= 64 * 1024)
        flush();
    return *this;
}

void Output::flush()
{
    if (!m_buffer.isEmpty()) {
        std::fwrite(m_buffer.constData(), 1, static_cast<size_t>(m_buffer.size()), m_stream);
        m_buffer.clear();
    }
    std::fflush(m_stream);
}
