#include "plot/markers.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/graphics_canvas.hpp"

namespace zeph {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// Star vertex directions (sin and cos of multiples of 36 degrees).
constexpr double kSin36 = 0.5877852522925, kCos36 = 0.8090169943749;
constexpr double kSin72 = 0.9510565162952, kCos72 = 0.3090169943749;
constexpr double kStarInner = 0.375;   // inner radius / outer radius

}  // namespace

WorldPoint rotated(WorldPoint offset, double degrees) {
    if (degrees == 0) return offset;
    const double c = std::cos(degrees * kDegree), s = std::sin(degrees * kDegree);
    return {offset.x * c - offset.y * s, offset.x * s + offset.y * c};
}

std::vector<WorldPoint> diamond_offsets(double d) {
    const double h = 0.707106781 * d;   // half side of the square
    std::vector<WorldPoint> square{{h, h}, {-h, h}, {-h, -h}, {h, -h}, {h, h}};
    for (auto& p : square) p = rotated(p, 45);
    return square;
}

std::vector<WorldPoint> star_offsets(double d) {
    const double r = kStarInner * d;
    return {{0, d},
            {-kSin36 * r, kCos36 * r},
            {-kSin72 * d, kCos72 * d},
            {-kSin72 * r, -kCos72 * r},
            {-kSin36 * d, -kCos36 * d},
            {0, -r},
            {kSin36 * d, -kCos36 * d},
            {kSin72 * r, -kCos72 * r},
            {kSin72 * d, kCos72 * d},
            {kSin36 * r, kCos36 * r},
            {0, d}};
}

std::vector<WorldPoint> regular_polygon_offsets(int sides, double d) {
    const int n = std::clamp(sides, 3, kMaxMarkerSides);
    std::vector<WorldPoint> points;
    points.reserve(static_cast<std::size_t>(n) + 1);
    const double first = std::numbers::pi / n - std::numbers::pi / 2;
    for (int k = 0; k < n; ++k) {
        const double a = first + 2 * std::numbers::pi * k / n;
        points.push_back({d * std::cos(a), d * std::sin(a)});
    }
    points.push_back(points.front());
    return points;
}

int arc_vertex_count(double radius, double world_width) {
    const double n = 4 * std::abs(radius) * kArcUnitsPerInch / std::abs(world_width);
    if (!std::isfinite(n)) return std::isnan(n) ? 1 : 360;
    return static_cast<int>(std::clamp(std::round(n), 1.0, 360.0));
}

std::vector<WorldPoint> arc_offsets(double rx, double ry, double rotation, double a1, double a2,
                                    int vertex_count) {
    const int n = std::clamp(vertex_count, 1, 360);
    const double sweep = a2 - a1;
    const double step = (sweep < 0 ? -360.0 : 360.0) / n;
    const auto point_at = [&](double degrees) {
        return rotated({rx * std::cos(degrees * kDegree), ry * std::sin(degrees * kDegree)}, rotation);
    };
    std::vector<WorldPoint> points;
    const auto room = static_cast<std::size_t>(GraphicsCanvas::kMaxPolygonPoints - 1);   // the end point follows
    for (int k = 0; points.size() < room && std::abs(k * step) < std::abs(sweep) - 1e-9; ++k) {
        points.push_back(point_at(a1 + k * step));
    }
    points.push_back(point_at(a2));
    return points;
}

}  // namespace zeph
