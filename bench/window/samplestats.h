#pragma once

#include <vector>

// Summary of a series of timings (milliseconds). The median of an even count is the mean of the
// two middle values. Percentiles take the nearest rank on the sorted values: share 0.99 of 100
// values is the 99th smallest, so one slow outlier among 100 samples is not the 99th percentile.
struct SampleStats
{
    int count = 0;
    double min = 0;
    double median = 0;
    double p99 = 0;
    double max = 0;

    // All zero for an empty series.
    static SampleStats of(std::vector<double> values);
    static double percentile(std::vector<double> values, double share);
};
