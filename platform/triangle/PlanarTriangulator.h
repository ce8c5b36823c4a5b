#ifndef PLANARTRIANGULATOR_H
#define PLANARTRIANGULATOR_H

#include <QString>

#include <array>
#include <vector>

// Triangulates planar point sets with CGAL. Triangles are counter-clockwise
// triples of indices into the input; neighbour k of a triangle lies opposite
// its vertex k (-1 on the boundary). All geometric tests are exact, so no
// triangle is inverted or overlaps another whatever the coordinates; points
// with identical coordinates are meshed once, under the index of their first
// occurrence.
class PlanarTriangulator
{
public:
    struct Point {
        double x;
        double y;
    };
    using Triple = std::array<int, 3>;
    struct Mesh {
        std::vector<Triple> triangles;
        std::vector<Triple> neighbours;
    };

    // Delaunay triangulation of the convex hull of the points. Fewer than
    // three distinct points, or all of them on one line, give no triangles.
    static Mesh delaunay(const std::vector<Point>& points);

    // Triangulation of the interior of the closed outline points[0], ...,
    // points[n-1] (either orientation; repeated consecutive points are
    // merged), constrained Delaunay. Fails with a reason
    // when the outline crosses or touches itself or encloses no area.
    static bool outline(const std::vector<Point>& points, Mesh* mesh, QString* error);
};

#endif // PLANARTRIANGULATOR_H
