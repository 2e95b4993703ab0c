// SPDX-License-Identifier: MIT
#pragma once

#include <QJsonObject>

#include <vector>

namespace bench {

// What every figure reports about its samples.
struct Summary
{
    qsizetype n = 0;
    double median = 0;
    double p99 = 0;
    double max = 0;

    static Summary of(std::vector<double> samples);
    // A figure measured once (a rate over a whole run, a peak).
    static Summary single(double value);

    QJsonObject toJson() const;
    static Summary fromJson(const QJsonObject &o);
};

} // namespace bench
