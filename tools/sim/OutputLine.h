#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>

namespace qsrsim {

using Clock = std::chrono::steady_clock;

// The transmit side of the simulated line: queued chunks go out in order, each no earlier than
// its due time, optionally paced like a real UART. Writes are non-blocking; a full pty buffer
// (nobody reading) makes it retry later instead of blocking the loop. Does not own the fd.
class OutputLine {
public:
    // baud 0: a due chunk goes out at once; otherwise one character per 10 bits at that speed,
    // each written when it would have been received completely.
    OutputLine(int fd, long baud);

    // Queues bytes due at the given time, but never before anything queued earlier.
    // Returns false (and queues nothing) when the queue is already at its cap.
    bool enqueue(std::string bytes, Clock::time_point due);
    bool isIdle() const { return m_queue.empty(); }

    // Writes what is due at now. Returns when it next wants to run, or nullopt when idle.
    std::optional<Clock::time_point> service(Clock::time_point now);

    // Writes bytes straight away if the line is idle; drops them when the pty buffer is full.
    void writeOrDrop(const std::string &bytes);

    // Time one character takes on the line (zero when unpaced).
    Clock::duration characterTime() const { return m_characterTime; }

private:
    struct Chunk {
        std::string bytes;
        Clock::time_point due;
    };

    static constexpr std::size_t maxQueuedBytes = 64 * 1024;
    static constexpr std::chrono::milliseconds retryInterval{10};

    int m_fd;
    Clock::duration m_characterTime;
    std::deque<Chunk> m_queue;
    std::size_t m_queuedBytes = 0;
    Clock::time_point m_lastDue{};
    Clock::time_point m_lineFreeAt{};                  // end of the last paced character
    std::optional<Clock::time_point> m_characterReady; // when the paced character in flight lands
    std::optional<Clock::time_point> m_retryAt;        // after EAGAIN
};

} // namespace qsrsim
