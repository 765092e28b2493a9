// bench_chart: the stage times of the benchmark runs against their floors, as
// an ImageMagick vector drawing (MVG); scripts/bench turns it into a PNG.
//
//   bench_chart STAGES.tsv FONT.ttf > chart.mvg
//
// STAGES.tsv has the lines the drivers append: run, stage, wall ms, floor
// ms, reachable floor ms. Times go on a log scale; each stage gets its floor
// (grey), its wall time (blue), the reachable floor where it differs (a black
// tick) and the ratio wall/floor.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Row {
    std::string run, stage;
    double wall = 0, floor = 0, reachable = 0;
};

constexpr int WIDTH = 860, LEFT = 150, RIGHT = 690, ROW = 24, RUN_HEADER = 24, TOP = 56;
constexpr double LOG_MIN = 2.0, LOG_MAX = 5.5;  // 100 ms to ~316 s

double x_of(double ms) {
    const double l = std::log10(std::max(ms, 1.0));
    return LEFT + (RIGHT - LEFT) * (std::min(std::max(l, LOG_MIN), LOG_MAX) - LOG_MIN) / (LOG_MAX - LOG_MIN);
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

void rect(double x0, double y0, double x1, double y1, const char* colour) {
    std::printf("fill '%s' rectangle %.1f,%.1f %.1f,%.1f\n", colour, x0, y0, x1, y1);
}

void text(double x, double y, const std::string& s, int size = 12, const char* colour = "black") {
    std::printf("fill '%s' font-size %d text %.1f,%.1f %s\n", colour, size, x, y, quoted(s).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_chart STAGES.tsv FONT.ttf > chart.mvg\n");
        return 2;
    }
    std::vector<Row> rows;
    std::ifstream in(argv[1]);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        Row r;
        if (std::getline(fields, r.run, '\t') && std::getline(fields, r.stage, '\t') &&
            fields >> r.wall >> r.floor >> r.reachable)
            rows.push_back(r);
    }
    int runs = 0;
    for (size_t i = 0; i < rows.size(); ++i) runs += i == 0 || rows[i].run != rows[i - 1].run;
    const int height = TOP + runs * RUN_HEADER + static_cast<int>(rows.size()) * ROW + 60;

    std::printf("viewbox 0 0 %d %d\n", WIDTH, height);
    rect(0, 0, WIDTH, height, "white");
    std::printf("font %s\n", quoted(argv[2]).c_str());
    text(12, 22, "Time per stage of a full update against its floor (log scale)", 15);
    rect(12, 34, 24, 42, "#c8c8c8");
    text(28, 42, "floor: fixed pauses + line time", 11);
    rect(220, 34, 232, 42, "#2f6db5");
    text(236, 42, "wall time", 11);
    rect(310, 31, 312, 45, "black");
    text(316, 42, "reachable floor on the simulated line (paced)", 11);
    text(RIGHT + 12, 42, "wall / floor", 11);

    double y = TOP;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        if (i == 0 || r.run != rows[i - 1].run) {
            y += RUN_HEADER;
            text(12, y - 7, r.run, 13);
        }
        text(20, y + 15, r.stage, 11);
        rect(LEFT, y + 3, x_of(r.floor), y + 10, "#c8c8c8");
        rect(LEFT, y + 11, x_of(r.wall), y + 18, "#2f6db5");
        const bool reachable_differs = std::fabs(r.reachable - r.floor) > 0.5;
        if (reachable_differs) rect(x_of(r.reachable) - 1, y + 1, x_of(r.reachable) + 1, y + 20, "black");
        char ratio[64];
        if (reachable_differs)
            std::snprintf(ratio, sizeof ratio, "%.4f (%.4f reachable)", r.wall / r.floor, r.wall / r.reachable);
        else
            std::snprintf(ratio, sizeof ratio, "%.4f", r.wall / r.floor);
        text(RIGHT + 12, y + 15, ratio, 11);
        y += ROW;
    }
    // The axis: a tick a decade.
    y += 8;
    rect(LEFT, y, RIGHT, y + 1, "black");
    const char* const labels[] = {"100 ms", "1 s", "10 s", "100 s"};
    for (int d = 0; d < 4; ++d) {
        const double x = x_of(std::pow(10.0, LOG_MIN + d));
        rect(x, y, x + 1, y + 6, "black");
        text(x - 14, y + 20, labels[d], 11);
    }
    return 0;
}
