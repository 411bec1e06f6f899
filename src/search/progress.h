// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <cmath>

// Progress bar value after combination x of a run over n values with count = 2^n − 1
// combinations: x / count × n, computed in double in this order and rounded down.
inline int progressValueAfter(qint32 x, qint32 count, int n) {
    return int(std::floor(double(x) / double(count) * double(n)));
}
