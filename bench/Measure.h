#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>

namespace bench {

inline double Median(QList<double> v)
{
    if (v.isEmpty())
        return 0;
    std::sort(v.begin(), v.end());
    const qsizetype n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Prints one result line: name, our figure, the peer's figure, the ratio and a note (a target).
void Report(const QString &what, double ours, const QString &unit, double peer = 0, const QString &peerName = {},
            const QString &note = {});

} // namespace bench
