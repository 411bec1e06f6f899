// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A search's progress, reported in phases of the 0 … 1000 scale, and its cancellation, polled.
// Control is any type with the members progress (void(int permille)) and cancelled (bool()),
// either of them possibly empty.
template <class Control> class SearchTicker {
public:
    explicit SearchTicker(const Control& control)
        : m_control(control) {}

    // The phase now running covers [from, to] of the scale.
    void phase(int from, int to) {
        m_from = from;
        m_to = to;
        report(0.0);
    }
    // share of the phase done, 0 … 1; false once the search is to end.
    bool report(double share) {
        const int permille = m_from + int(share * (m_to - m_from));
        if (m_control.progress && permille != m_last) {
            m_last = permille;
            m_control.progress(permille);
        }
        return !cancelled();
    }
    bool cancelled() {
        if (!m_cancelled && m_control.cancelled && m_control.cancelled())
            m_cancelled = true;
        return m_cancelled;
    }

private:
    const Control& m_control;
    int m_from = 0, m_to = 0, m_last = -1;
    bool m_cancelled = false;
};
