#pragma once

#include <QtGlobal>

#include <array>

// The instrument's fifteen operating parameters, in their fixed order. That order is
// shared by the settings file, the parameter files and the command table.
struct ParameterSet {
    qint32 senter = 0; // REF PRESET
    qint32 upper = 0;  // HIGH LIMIT
    qint32 under = 0;  // LOW LIMIT
    qint16 ave = 0;    // list positions from here on, except the two MODE digits
    qint16 mode1 = 0;
    qint16 mode2 = 0;
    qint16 gain = 0;
    qint16 henn = 0;
    qint16 zero = 0;
    qint16 syou = 0;
    qint16 hyou = 0;
    qint16 erro = 0;
    qint16 edg = 0;
    qint16 soku = 0;
    qint16 ziko = 0;

    static constexpr int fieldCount = 15;
    static constexpr int wideFieldCount = 3; // senter, upper, under are 32-bit; the rest 16-bit

    // Field i (0-based, file order) widened to 32 bits.
    qint32 field(int i) const;
    // Stores v into field i; a 16-bit field takes only values that fit (returns false otherwise).
    bool setField(int i, qint64 v);
    std::array<qint32, fieldCount> values() const;

    friend bool operator==(const ParameterSet &, const ParameterSet &) = default;
};
