#pragma once
// Small pieces the in-process benchmarks share: a verdict line, an event-loop wait and
// order statistics.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace bench {

inline bool allPassed = true;

inline void verdict(bool pass, const char *what)
{
    std::printf("  %s  %s\n", pass ? "PASS" : "FAIL", what);
    allPassed = allPassed && pass;
}

// Runs the event loop until `done` or `boundMs`, checking every 10 ms: waiting costs no CPU.
inline void waitFor(const std::function<bool()> &done, int boundMs)
{
    QElapsedTimer t;
    t.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || t.elapsed() >= boundMs)
            loop.quit();
    });
    check.start(10);
    if (!done())
        loop.exec();
}

// The value at fraction q (0 to 1) of the sorted values; 0 for none.
inline double quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
}

inline double median(const std::vector<double> &v)
{
    return quantile(v, 0.5);
}

} // namespace bench
