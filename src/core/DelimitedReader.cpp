#include "core/DelimitedReader.h"

#include <utility>

namespace {
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool isDelimiter(char c)
{
    return c == ',' || c == '\r' || c == '\n';
}
} // namespace

DelimitedReader::DelimitedReader(QByteArray data) : m_data(std::move(data))
{
}

bool DelimitedReader::atEnd() const
{
    return m_pos >= m_data.size() && !m_fieldPending;
}

std::optional<QByteArray> DelimitedReader::next()
{
    if (atEnd())
        return std::nullopt;
    m_fieldPending = false;

    const qsizetype size = m_data.size();
    while (m_pos < size && isBlank(m_data[m_pos]))
        ++m_pos;

    QByteArray field;
    if (m_pos < size && m_data[m_pos] == '"') {
        ++m_pos;
        while (m_pos < size) {
            const char c = m_data[m_pos++];
            if (c != '"') {
                field += c;
            } else if (m_pos < size && m_data[m_pos] == '"') {
                field += '"';
                ++m_pos;
            } else {
                break;
            }
        }
        while (m_pos < size && !isDelimiter(m_data[m_pos]))
            ++m_pos;
    } else {
        const qsizetype start = m_pos;
        while (m_pos < size && !isDelimiter(m_data[m_pos]))
            ++m_pos;
        qsizetype end = m_pos;
        while (end > start && isBlank(m_data[end - 1]))
            --end;
        field = m_data.mid(start, end - start);
    }
    skipDelimiter();
    return field;
}

std::optional<QString> DelimitedReader::nextText()
{
    const auto field = next();
    if (!field)
        return std::nullopt;
    return QString::fromLocal8Bit(*field);
}

void DelimitedReader::skipDelimiter()
{
    if (m_pos >= m_data.size())
        return;
    const char c = m_data[m_pos++];
    if (c == ',')
        m_fieldPending = true;
    else if (c == '\r' && m_pos < m_data.size() && m_data[m_pos] == '\n')
        ++m_pos;
}
