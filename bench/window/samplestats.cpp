#include "samplestats.h"

#include <algorithm>
#include <cmath>

double SampleStats::percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const double rank = std::round(double(values.size() - 1) * std::clamp(share, 0.0, 1.0));
    return values[size_t(rank)];
}

SampleStats SampleStats::of(std::vector<double> values)
{
    SampleStats stats;
    if (values.empty())
        return stats;
    std::sort(values.begin(), values.end());
    stats.count = int(values.size());
    stats.min = values.front();
    stats.max = values.back();
    const size_t middle = values.size() / 2;
    stats.median = values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    stats.p99 = percentile(values, 0.99);
    return stats;
}
