#pragma once
// Marker and arc outlines as offsets from their centre, in world units
// (y upward). Every outline fits the canvas's polygon limit of 399 points.
#include <vector>

#include "plot/painter.hpp"

namespace zeph {

// Regular polygons have at most this many sides, so that the closed outline
// (sides + 1 points) stays within the 399-point polygon limit.
inline constexpr int kMaxMarkerSides = 398;
// Resolution used to choose the vertex count of arcs (units per inch).
inline constexpr double kArcUnitsPerInch = 300;

// Offset turned counter-clockwise by `degrees`.
WorldPoint rotated(WorldPoint offset, double degrees);

// Diamond: a square of half side 0.707106781·d turned by 45 degrees, corners
// on the axes at distance d; 5 points, closed.
std::vector<WorldPoint> diamond_offsets(double d);
// Five-pointed star, outer radius d, inner 0.375·d, one point straight up;
// 11 points, closed.
std::vector<WorldPoint> star_offsets(double d);
// Regular polygon with `sides` (3..kMaxMarkerSides, larger counts are
// limited) at radius d, the first vertex at π/n − π/2 so that the bottom edge
// is horizontal; sides + 1 points, closed.
std::vector<WorldPoint> regular_polygon_offsets(int sides, double d);

// Vertex count of an arc of the larger radius `radius` in a world window
// `world_width` wide: nearest integer of 4·radius·300/world_width, 1..360.
int arc_vertex_count(double radius, double world_width);
// Ellipse arc from a1 to a2 degrees with radii rx, ry, turned by `rotation`
// degrees: vertices every 360/vertex_count degrees from a1, the last one
// exactly on a2; at most 399 points.
std::vector<WorldPoint> arc_offsets(double rx, double ry, double rotation, double a1, double a2,
                                    int vertex_count);

}  // namespace zeph
