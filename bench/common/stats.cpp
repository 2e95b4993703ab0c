// SPDX-License-Identifier: MIT
#include "stats.h"

#include <algorithm>
#include <cmath>

namespace bench {

namespace {
// Nearest rank: the smallest sample with at least that share of the samples at or below it.
double rank(const std::vector<double> &sorted, double share)
{
    const auto k = std::size_t(std::ceil(share * double(sorted.size())));
    return sorted[std::clamp<std::size_t>(k, 1, sorted.size()) - 1];
}
} // namespace

Summary Summary::of(std::vector<double> samples)
{
    Summary s;
    s.n = qsizetype(samples.size());
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    s.median = rank(samples, 0.5);
    s.p99 = rank(samples, 0.99);
    s.max = samples.back();
    return s;
}

Summary Summary::single(double value)
{
    return Summary{1, value, value, value};
}

QJsonObject Summary::toJson() const
{
    return {{"n", double(n)}, {"median", median}, {"p99", p99}, {"max", max}};
}

Summary Summary::fromJson(const QJsonObject &o)
{
    return Summary{qsizetype(o.value("n").toDouble()), o.value("median").toDouble(),
                   o.value("p99").toDouble(), o.value("max").toDouble()};
}

} // namespace bench
