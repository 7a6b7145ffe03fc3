#include "core/ParameterSet.h"

#include <limits>

namespace {
template <typename F> auto visitField(ParameterSet &p, int i, F &&f)
{
    switch (i) {
    case 0:
        return f(p.senter);
    case 1:
        return f(p.upper);
    case 2:
        return f(p.under);
    case 3:
        return f(p.ave);
    case 4:
        return f(p.mode1);
    case 5:
        return f(p.mode2);
    case 6:
        return f(p.gain);
    case 7:
        return f(p.henn);
    case 8:
        return f(p.zero);
    case 9:
        return f(p.syou);
    case 10:
        return f(p.hyou);
    case 11:
        return f(p.erro);
    case 12:
        return f(p.edg);
    case 13:
        return f(p.soku);
    default:
        return f(p.ziko);
    }
}
} // namespace

qint32 ParameterSet::field(int i) const
{
    Q_ASSERT(i >= 0 && i < fieldCount);
    return visitField(const_cast<ParameterSet &>(*this), i, [](auto &f) { return qint32(f); });
}

bool ParameterSet::setField(int i, qint64 v)
{
    Q_ASSERT(i >= 0 && i < fieldCount);
    return visitField(*this, i, [v](auto &f) {
        using T = std::remove_reference_t<decltype(f)>;
        if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max())
            return false;
        f = T(v);
        return true;
    });
}

std::array<qint32, ParameterSet::fieldCount> ParameterSet::values() const
{
    std::array<qint32, fieldCount> out{};
    for (int i = 0; i < fieldCount; ++i)
        out[size_t(i)] = field(i);
    return out;
}
