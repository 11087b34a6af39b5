// The figures of every run of the benchmarks that compare a client with a baseline client, kept
// so that the program can print, once every run is done, one table per comparison: each figure's
// median over the runs for both clients and the ratio of the i-th runs' figures (runs that were
// interleaved with each other), as its median and its min–max.
#pragma once

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qor::bench {

struct FigureName {
    std::string key;    // as recorded
    std::string label;  // as printed
};

class PairedFigures {
public:
    // One run's figures of `client` in a comparison (for example "keep-alive connections").
    static void add(const std::string& comparison, const std::string& client, std::map<std::string, double> figures) {
        runs()[{comparison, client}].push_back(std::move(figures));
    }

    // A markdown table of `client` beside `baseline`; nothing when either has no run.
    static void print(const std::string& comparison, const std::string& client, const std::string& baseline,
                      const std::vector<FigureName>& names) {
        const auto& ours = runs()[{comparison, client}];
        const auto& theirs = runs()[{comparison, baseline}];
        const std::size_t pairs = std::min(ours.size(), theirs.size());
        if (pairs == 0) return;
        std::printf("\n| %s (%zu runs each) | %s | %s | ratio (min-max) |\n|---|---|---|---|\n", comparison.c_str(),
                    pairs, client.c_str(), baseline.c_str());
        for (const auto& name : names) {
            std::vector<double> mine, base, ratios;
            for (std::size_t i = 0; i < pairs; ++i) {
                const double a = figure(ours[i], name.key), b = figure(theirs[i], name.key);
                mine.push_back(a);
                base.push_back(b);
                if (b > 0) ratios.push_back(a / b);
            }
            std::printf("| %s | %.3f | %.3f | ", name.label.c_str(), median(mine), median(base));
            if (ratios.empty()) {
                std::printf("- |\n");
                continue;
            }
            const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
            std::printf("%.2fx (%.2f-%.2f) |\n", median(ratios), *low, *high);
        }
        std::fflush(stdout);
    }

    // The value below which `share` of the sorted values lie (0.5 for the median).
    static double quantile(std::vector<double> values, double share) {
        if (values.empty()) return 0;
        std::sort(values.begin(), values.end());
        return values[std::min(values.size() - 1,
                               static_cast<std::size_t>(share * static_cast<double>(values.size())))];
    }
    static double median(std::vector<double> values) { return quantile(std::move(values), 0.5); }

private:
    using Runs = std::map<std::pair<std::string, std::string>, std::vector<std::map<std::string, double>>>;
    static Runs& runs() {
        static Runs all;
        return all;
    }
    static double figure(const std::map<std::string, double>& figures, const std::string& key) {
        const auto found = figures.find(key);
        return found == figures.end() ? 0 : found->second;
    }
};

}  // namespace qor::bench
