#include "platform/triangle/PlanarTriangulator.h"

#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Polygon_2_algorithms.h>
#include <CGAL/Triangulation_data_structure_2.h>
#include <CGAL/Triangulation_face_base_with_info_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <algorithm>
#include <list>
#include <numeric>
#include <unordered_map>
#include <utility>

namespace {

// Predicates are exact (filtered, with an exact fallback), so neither
// overflowing products at huge coordinates nor near-degenerate inputs can
// make the mesh invalid or a walk loop. No construction is ever needed:
// every vertex is an input point.
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using KPoint = Kernel::Point_2;

using Mesh = PlanarTriangulator::Mesh;
using Point = PlanarTriangulator::Point;

// The index of the first input point with each distinct position, in input
// order; later copies are dropped.
std::vector<int> distinctPoints(const std::vector<Point>& points)
{
    std::vector<int> order(points.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return points[a].x < points[b].x || (points[a].x == points[b].x && points[a].y < points[b].y);
    });
    std::vector<int> kept;
    kept.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        const Point& p = points[order[i]];
        if (i > 0) {
            const Point& q = points[order[i - 1]];
            if (p.x == q.x && p.y == q.y)
                continue;
        }
        kept.push_back(order[i]);
    }
    std::sort(kept.begin(), kept.end());
    return kept;
}

// Copies the chosen faces into the mesh: triangles counter-clockwise as the
// triangulation keeps them, neighbour k opposite vertex k, -1 where the
// neighbour is not chosen.
template <class Triangulation, class Keep>
Mesh collect(const Triangulation& t, Keep keep)
{
    Mesh mesh;
    std::unordered_map<const void*, int> number;
    for (auto f = t.finite_faces_begin(); f != t.finite_faces_end(); ++f) {
        if (!keep(f))
            continue;
        number.emplace(&*f, static_cast<int>(mesh.triangles.size()));
        mesh.triangles.push_back({f->vertex(0)->info(), f->vertex(1)->info(), f->vertex(2)->info()});
    }
    mesh.neighbours.resize(mesh.triangles.size());
    for (auto f = t.finite_faces_begin(); f != t.finite_faces_end(); ++f) {
        const auto own = number.find(&*f);
        if (own == number.end())
            continue;
        for (int k = 0; k < 3; ++k) {
            const auto other = number.find(&*f->neighbor(k));
            mesh.neighbours[own->second][k] = other == number.end() ? -1 : other->second;
        }
    }
    return mesh;
}

} // namespace

PlanarTriangulator::Mesh PlanarTriangulator::delaunay(const std::vector<Point>& points)
{
    using Vb = CGAL::Triangulation_vertex_base_with_info_2<int, Kernel>;
    using Tds = CGAL::Triangulation_data_structure_2<Vb>;
    using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, Tds>;

    std::vector<std::pair<KPoint, int>> sites;
    for (int i : distinctPoints(points))
        sites.emplace_back(KPoint(points[i].x, points[i].y), i);

    // The range insertion sorts the sites along a space-filling curve first,
    // which keeps every point location short.
    Delaunay t;
    t.insert(sites.begin(), sites.end());
    if (t.dimension() < 2)
        return Mesh();
    return collect(t, [](typename Delaunay::Finite_faces_iterator) { return true; });
}

bool PlanarTriangulator::outline(const std::vector<Point>& points, Mesh* mesh, QString* error)
{
    struct FaceInfo {
        int nesting = -1;
    };
    using Vb = CGAL::Triangulation_vertex_base_with_info_2<int, Kernel>;
    using Fb0 = CGAL::Triangulation_face_base_with_info_2<FaceInfo, Kernel>;
    using Fb = CGAL::Constrained_triangulation_face_base_2<Kernel, Fb0>;
    using Tds = CGAL::Triangulation_data_structure_2<Vb, Fb>;
    using Cdt = CGAL::Constrained_Delaunay_triangulation_2<
        Kernel, Tds, CGAL::No_constraint_intersection_requiring_constructions_tag>;

    *mesh = Mesh();

    // Outline corners, repeated consecutive points (and a closing copy of
    // the first) merged.
    std::vector<int> corners;
    for (int i = 0; i < static_cast<int>(points.size()); ++i) {
        if (!corners.empty()) {
            const Point& last = points[corners.back()];
            if (last.x == points[i].x && last.y == points[i].y)
                continue;
        }
        corners.push_back(i);
    }
    while (corners.size() > 1) {
        const Point& first = points[corners.front()];
        const Point& last = points[corners.back()];
        if (first.x != last.x || first.y != last.y)
            break;
        corners.pop_back();
    }

    std::vector<KPoint> ring;
    ring.reserve(corners.size());
    for (int i : corners)
        ring.emplace_back(points[i].x, points[i].y);
    if (ring.size() < 3
        || CGAL::orientation_2(ring.begin(), ring.end(), Kernel()) == CGAL::COLLINEAR) {
        *error = QStringLiteral("the outline encloses no area");
        return false;
    }
    if (!CGAL::is_simple_2(ring.begin(), ring.end(), Kernel())) {
        *error = QStringLiteral("the outline crosses or touches itself");
        return false;
    }

    Cdt t;
    std::vector<typename Cdt::Vertex_handle> handles;
    handles.reserve(ring.size());
    for (size_t k = 0; k < ring.size(); ++k) {
        const auto v = t.insert(ring[k]);
        v->info() = corners[k];
        handles.push_back(v);
    }
    for (size_t k = 0; k < handles.size(); ++k)
        t.insert_constraint(handles[k], handles[(k + 1) % handles.size()]);

    // Faces reached from outside across an odd number of outline edges lie
    // inside.
    std::list<typename Cdt::Edge> border;
    auto flood = [&](typename Cdt::Face_handle start, int level) {
        std::list<typename Cdt::Face_handle> queue{start};
        while (!queue.empty()) {
            const typename Cdt::Face_handle f = queue.front();
            queue.pop_front();
            if (f->info().nesting != -1)
                continue;
            f->info().nesting = level;
            for (int k = 0; k < 3; ++k) {
                const typename Cdt::Face_handle n = f->neighbor(k);
                if (n->info().nesting != -1)
                    continue;
                if (t.is_constrained(typename Cdt::Edge(f, k)))
                    border.emplace_back(f, k);
                else
                    queue.push_back(n);
            }
        }
    };
    flood(t.infinite_face(), 0);
    while (!border.empty()) {
        const typename Cdt::Edge e = border.front();
        border.pop_front();
        const typename Cdt::Face_handle n = e.first->neighbor(e.second);
        if (n->info().nesting == -1)
            flood(n, e.first->info().nesting + 1);
    }

    *mesh = collect(t, [](typename Cdt::Finite_faces_iterator f) { return f->info().nesting % 2 == 1; });
    if (mesh->triangles.empty()) {
        *error = QStringLiteral("the outline encloses no area");
        return false;
    }
    return true;
}
