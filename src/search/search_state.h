// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/numbers/currency.h"

#include <QtGlobal>

#include <array>

// The working data of the combination search; one set per window, all zero at the start.
struct SearchState {
    static constexpr int MaxValues = 23;

    std::array<double, MaxValues> dblWerte{};  // the run's non-zero values, compacted
    std::array<quint8, MaxValues> bytBits{};   // selection bits of the combination under test
    std::array<quint8, MaxValues> bytFeldNr{}; // value field index of each entry of dblWerte
    quint8 bytAnzahl = 0;                      // number of values in the current or last run
    Currency curZielwert;                      // target of the exact search
    Currency curToleranz;                      // tolerance amount of the tolerance search
    Currency curUntergrenze;                   // lower bound of the tolerance range, inclusive
    Currency curObergrenze;                    // upper bound of the tolerance range, inclusive
};
