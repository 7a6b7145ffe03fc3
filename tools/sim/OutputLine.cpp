#include "OutputLine.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace qsrsim {

OutputLine::OutputLine(int fd, long baud)
    : m_fd(fd), m_characterTime(baud > 0 ? std::chrono::duration_cast<Clock::duration>(
                                               std::chrono::duration<double>(10.0 / baud))
                                         : Clock::duration::zero())
{
}

bool OutputLine::enqueue(std::string bytes, Clock::time_point due)
{
    if (bytes.empty())
        return true;
    if (m_queuedBytes + bytes.size() > maxQueuedBytes)
        return false;
    due = std::max(due, m_lastDue);
    m_lastDue = due;
    m_queuedBytes += bytes.size();
    m_queue.push_back({std::move(bytes), due});
    return true;
}

std::optional<Clock::time_point> OutputLine::service(Clock::time_point now)
{
    if (m_retryAt) {
        if (now < *m_retryAt)
            return m_retryAt;
        m_retryAt.reset();
    }
    while (!m_queue.empty()) {
        Chunk &chunk = m_queue.front();
        if (now < chunk.due)
            return chunk.due;

        std::size_t count = chunk.bytes.size();
        if (m_characterTime > Clock::duration::zero()) {
            if (!m_characterReady)
                m_characterReady = std::max(chunk.due, m_lineFreeAt) + m_characterTime;
            if (now < *m_characterReady)
                return m_characterReady;
            count = 1;
        }

        const ssize_t written = ::write(m_fd, chunk.bytes.data(), count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            // EAGAIN: the buffer is full because nobody reads; anything else: try again later too.
            m_retryAt = now + retryInterval;
            return m_retryAt;
        }
        if (m_characterReady) {
            m_lineFreeAt = *m_characterReady;
            m_characterReady.reset();
        }
        chunk.bytes.erase(0, static_cast<std::size_t>(written));
        m_queuedBytes -= static_cast<std::size_t>(written);
        if (chunk.bytes.empty())
            m_queue.pop_front();
    }
    return std::nullopt;
}

void OutputLine::writeOrDrop(const std::string &bytes)
{
    if (!m_queue.empty() || bytes.empty())
        return;
    ssize_t written;
    do {
        written = ::write(m_fd, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
}

} // namespace qsrsim
