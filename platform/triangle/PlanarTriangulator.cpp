#include "platform/triangle/PlanarTriangulator.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <numeric>
#include <utility>

namespace {

using Point = PlanarTriangulator::Point;
using Triple = PlanarTriangulator::Triple;
using Mesh = PlanarTriangulator::Mesh;

// Orientation is decided exactly on the input doubles, so the mesh is valid
// (no overlaps, no inverted triangles) whatever the rounding; the in-circle
// test only chooses among valid meshes and works on coordinates scaled into
// the unit square with a small relative tolerance.
struct Site {
    double x;  // as given
    double y;
    double nx; // scaled
    double ny;
    bool operator==(const Site& o) const { return x == o.x && y == o.y; }
    bool operator<(const Site& o) const { return x < o.x || (x == o.x && y < o.y); }
};

void twoSum(double a, double b, double* sum, double* err)
{
    const double x = a + b;
    const double bv = x - a;
    const double av = x - bv;
    *sum = x;
    *err = (a - av) + (b - bv);
}

// Adds term to a non-overlapping expansion kept in increasing magnitude.
void grow(std::vector<double>* e, double term)
{
    std::vector<double> out;
    out.reserve(e->size() + 1);
    double q = term;
    for (double c : *e) {
        double h = 0;
        twoSum(q, c, &q, &h);
        if (h != 0)
            out.push_back(h);
    }
    out.push_back(q);
    e->swap(out);
}

// Exact product (a1 + a2)(b1 + b2) added to the expansion, with sign s.
void addProduct(std::vector<double>* e, double a1, double a2, double b1, double b2, double s)
{
    for (double a : {a1, a2}) {
        for (double b : {b1, b2}) {
            const double p = a * b;
            grow(e, s * p);
            grow(e, s * std::fma(a, b, -p));
        }
    }
}

// 1 when c lies left of a->b, -1 right, 0 exactly on the line.
int orient(const Site& a, const Site& b, const Site& c)
{
    double d1, d1e, d2, d2e, d3, d3e, d4, d4e;
    twoSum(b.x, -a.x, &d1, &d1e);
    twoSum(c.y, -a.y, &d2, &d2e);
    twoSum(b.y, -a.y, &d3, &d3e);
    twoSum(c.x, -a.x, &d4, &d4e);
    std::vector<double> e;
    e.reserve(32);
    addProduct(&e, d1, d1e, d2, d2e, 1.0);
    addProduct(&e, d3, d3e, d4, d4e, -1.0);
    for (auto it = e.rbegin(); it != e.rend(); ++it)
        if (*it != 0)
            return *it > 0 ? 1 : -1;
    return 0;
}

// True when d lies clearly inside the circumcircle of the counter-clockwise
// triangle abc.
bool inCircle(const Site& a, const Site& b, const Site& c, const Site& d)
{
    const long double adx = static_cast<long double>(a.nx) - d.nx, ady = static_cast<long double>(a.ny) - d.ny;
    const long double bdx = static_cast<long double>(b.nx) - d.nx, bdy = static_cast<long double>(b.ny) - d.ny;
    const long double cdx = static_cast<long double>(c.nx) - d.nx, cdy = static_cast<long double>(c.ny) - d.ny;
    const long double alift = adx * adx + ady * ady;
    const long double blift = bdx * bdx + bdy * bdy;
    const long double clift = cdx * cdx + cdy * cdy;
    const long double det = alift * (bdx * cdy - cdx * bdy) + blift * (cdx * ady - adx * cdy)
                          + clift * (adx * bdy - bdx * ady);
    const long double scale = alift * (std::fabs(bdx * cdy) + std::fabs(cdx * bdy))
                            + blift * (std::fabs(cdx * ady) + std::fabs(adx * cdy))
                            + clift * (std::fabs(adx * bdy) + std::fabs(bdx * ady));
    return det > 1e-12L * scale;
}

std::vector<Site> prepared(const std::vector<Point>& in)
{
    if (in.empty())
        return {};
    double minX = in[0].x, maxX = in[0].x, minY = in[0].y, maxY = in[0].y;
    for (const Point& p : in) {
        minX = std::min(minX, p.x); maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y); maxY = std::max(maxY, p.y);
    }
    double span = std::max(maxX - minX, maxY - minY);
    if (!(span > 0.0) || !std::isfinite(span))
        span = 1.0;
    std::vector<Site> out;
    out.reserve(in.size());
    for (const Point& p : in)
        out.push_back({p.x, p.y, (p.x - minX) / span, (p.y - minY) / span});
    return out;
}

void buildNeighbours(Mesh* mesh)
{
    std::map<std::pair<int, int>, std::pair<int, int>> edges; // directed edge -> (triangle, corner)
    mesh->neighbours.assign(mesh->triangles.size(), Triple{-1, -1, -1});
    for (int t = 0; t < static_cast<int>(mesh->triangles.size()); ++t) {
        const Triple& v = mesh->triangles[t];
        for (int k = 0; k < 3; ++k) {
            const int a = v[(k + 1) % 3], b = v[(k + 2) % 3];
            const auto twin = edges.find({b, a});
            if (twin != edges.end()) {
                mesh->neighbours[t][k] = twin->second.first;
                mesh->neighbours[twin->second.first][twin->second.second] = t;
                edges.erase(twin);
            } else {
                edges[{a, b}] = {t, k};
            }
        }
    }
}

int cornerOf(const Triple& t, int vertex)
{
    for (int k = 0; k < 3; ++k)
        if (t[k] == vertex)
            return k;
    return -1;
}

void replaceNeighbour(Mesh* mesh, int t, int from, int to)
{
    if (t < 0)
        return;
    for (int k = 0; k < 3; ++k)
        if (mesh->neighbours[t][k] == from)
            mesh->neighbours[t][k] = to;
}

// Lawson flips until every interior edge is locally Delaunay. Boundary edges
// (no neighbour) are never flipped, which keeps an outline intact.
void flipToDelaunay(const std::vector<Site>& p, Mesh* mesh)
{
    std::deque<std::pair<int, int>> queue;
    for (int t = 0; t < static_cast<int>(mesh->triangles.size()); ++t)
        for (int k = 0; k < 3; ++k)
            queue.emplace_back(t, k);

    const size_t n = mesh->triangles.size();
    size_t budget = 50 * n * n + 1000; // exact tests terminate; this is only a guard
    while (!queue.empty() && budget-- > 0) {
        const int t = queue.front().first;
        const int i = queue.front().second;
        queue.pop_front();
        const int u = mesh->neighbours[t][i];
        if (u < 0)
            continue;
        const int a = mesh->triangles[t][i];
        const int b = mesh->triangles[t][(i + 1) % 3];
        const int c = mesh->triangles[t][(i + 2) % 3];
        const int j = cornerOf(mesh->triangles[u], b);
        if (j < 0)
            continue;
        const int d = mesh->triangles[u][(j + 1) % 3]; // u is (b, d, c) counter-clockwise
        if (!inCircle(p[a], p[b], p[c], p[d]))
            continue;
        if (orient(p[a], p[b], p[d]) <= 0 || orient(p[a], p[d], p[c]) <= 0)
            continue;

        const int nAB = mesh->neighbours[t][(i + 2) % 3];
        const int nCA = mesh->neighbours[t][(i + 1) % 3];
        const int nBD = mesh->neighbours[u][(j + 2) % 3]; // opposite c
        const int nDC = mesh->neighbours[u][j];            // opposite b

        mesh->triangles[t] = {a, b, d};
        mesh->neighbours[t] = {nBD, u, nAB};
        mesh->triangles[u] = {a, d, c};
        mesh->neighbours[u] = {nDC, nCA, t};
        replaceNeighbour(mesh, nBD, u, t);
        replaceNeighbour(mesh, nCA, t, u);

        queue.emplace_back(t, 0);
        queue.emplace_back(t, 2);
        queue.emplace_back(u, 0);
        queue.emplace_back(u, 1);
    }
}

bool segmentsIntersect(const Site& a, const Site& b, const Site& c, const Site& d)
{
    const int s1 = orient(a, b, c), s2 = orient(a, b, d);
    const int s3 = orient(c, d, a), s4 = orient(c, d, b);
    if (s1 * s2 < 0 && s3 * s4 < 0)
        return true;
    auto onSegment = [](const Site& p, const Site& q, const Site& r) {
        return std::min(p.x, q.x) <= r.x && r.x <= std::max(p.x, q.x)
            && std::min(p.y, q.y) <= r.y && r.y <= std::max(p.y, q.y);
    };
    return (s1 == 0 && onSegment(a, b, c)) || (s2 == 0 && onSegment(a, b, d))
        || (s3 == 0 && onSegment(c, d, a)) || (s4 == 0 && onSegment(c, d, b));
}

} // namespace

PlanarTriangulator::Mesh PlanarTriangulator::delaunay(const std::vector<Point>& points)
{
    Mesh mesh;
    const std::vector<Site> p = prepared(points);

    // Sweep from left to right; equal points keep only the lowest index.
    std::vector<int> order(points.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int l, int r) { return p[l] < p[r]; });
    std::vector<int> u;
    for (int idx : order)
        if (u.empty() || !(p[u.back()] == p[idx]))
            u.push_back(idx);
    const size_t m = u.size();
    if (m < 3)
        return mesh;

    // Leading collinear run, closed by the first point off its line.
    size_t k = 2;
    while (k < m && orient(p[u[0]], p[u[k - 1]], p[u[k]]) == 0)
        ++k;
    if (k == m)
        return mesh;

    const int q = u[k];
    std::vector<int> hull;
    const bool left = orient(p[u[0]], p[u[k - 1]], p[q]) > 0;
    for (size_t i = 0; i + 1 < k; ++i) {
        if (left)
            mesh.triangles.push_back({u[i], u[i + 1], q});
        else
            mesh.triangles.push_back({u[i + 1], u[i], q});
    }
    if (left) {
        for (size_t i = 0; i < k; ++i)
            hull.push_back(u[i]);
        hull.push_back(q);
    } else {
        hull.push_back(u[0]);
        hull.push_back(q);
        for (size_t i = k - 1; i >= 1; --i)
            hull.push_back(u[i]);
    }

    for (size_t j = k + 1; j < m; ++j) {
        const int r = u[j];
        const int h = static_cast<int>(hull.size());
        std::vector<char> visible(h);
        bool any = false;
        for (int i = 0; i < h; ++i) {
            visible[i] = orient(p[hull[i]], p[hull[(i + 1) % h]], p[r]) < 0;
            any = any || visible[i];
        }
        if (!any)
            continue; // cannot happen for a point beyond the sweep line
        int s = 0;
        while (!(visible[s] && !visible[(s + h - 1) % h]))
            s = (s + 1) % h;
        int e = s;
        int runs = 0;
        while (visible[e] && runs < h) {
            mesh.triangles.push_back({hull[(e + 1) % h], hull[e], r});
            e = (e + 1) % h;
            ++runs;
        }
        // Edges s .. e-1 were visible: vertices strictly inside the run go.
        std::vector<int> next;
        next.reserve(h + 1);
        for (int i = e; ; i = (i + 1) % h) {
            next.push_back(hull[i]);
            if (i == s)
                break;
        }
        next.push_back(r);
        hull.swap(next);
    }

    buildNeighbours(&mesh);
    flipToDelaunay(p, &mesh);
    return mesh;
}

bool PlanarTriangulator::outline(const std::vector<Point>& points, Mesh* mesh, QString* error)
{
    mesh->triangles.clear();
    mesh->neighbours.clear();
    const std::vector<Site> p = prepared(points);

    std::vector<int> ring;
    for (int i = 0; i < static_cast<int>(points.size()); ++i)
        if (ring.empty() || !(p[ring.back()] == p[i]))
            ring.push_back(i);
    while (ring.size() > 1 && p[ring.back()] == p[ring.front()])
        ring.pop_back();
    if (ring.size() < 3) {
        *error = QStringLiteral("an outline needs at least 3 distinct vertices");
        return false;
    }

    const int n = static_cast<int>(ring.size());
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            const bool adjacent = j == i + 1 || (i == 0 && j == n - 1);
            const Site& a = p[ring[i]];
            const Site& b = p[ring[(i + 1) % n]];
            const Site& c = p[ring[j]];
            const Site& d = p[ring[(j + 1) % n]];
            if (adjacent) {
                // Adjacent edges may only share their common vertex: a
                // spike that folds back onto its neighbour also crosses.
                const Site& far = j == i + 1 ? d : c;
                const Site& near = j == i + 1 ? a : b;
                const Site& shared = j == i + 1 ? b : a;
                if (orient(near, shared, far) == 0
                    && (far.x - shared.x) * (near.x - shared.x) + (far.y - shared.y) * (near.y - shared.y) > 0) {
                    *error = QStringLiteral("the outline folds back on itself");
                    return false;
                }
                continue;
            }
            if (segmentsIntersect(a, b, c, d)) {
                *error = QStringLiteral("the outline crosses or touches itself");
                return false;
            }
        }
    }

    // A simple outline turns the same way as at its lowest-leftmost vertex.
    const int low = static_cast<int>(std::min_element(ring.begin(), ring.end(),
                                                      [&](int l, int r) { return p[l] < p[r]; }) - ring.begin());
    const int turn = orient(p[ring[(low + n - 1) % n]], p[ring[low]], p[ring[(low + 1) % n]]);
    if (turn == 0) {
        *error = QStringLiteral("the outline encloses no area");
        return false;
    }
    if (turn < 0)
        std::reverse(ring.begin(), ring.end());

    // Ear clipping on the counter-clockwise ring.
    std::vector<int> v = ring;
    while (v.size() > 3) {
        const int size = static_cast<int>(v.size());
        int ear = -1;
        int flat = -1;
        for (int i = 0; i < size && ear < 0; ++i) {
            const Site& a = p[v[(i + size - 1) % size]];
            const Site& b = p[v[i]];
            const Site& c = p[v[(i + 1) % size]];
            const int turn = orient(a, b, c);
            if (turn == 0 && flat < 0)
                flat = i;
            if (turn <= 0)
                continue;
            bool empty = true;
            for (int o = 0; o < size && empty; ++o) {
                if (o == i || o == (i + 1) % size || o == (i + size - 1) % size)
                    continue;
                const Site& x = p[v[o]];
                if (orient(a, b, x) >= 0 && orient(b, c, x) >= 0 && orient(c, a, x) >= 0)
                    empty = false;
            }
            if (empty)
                ear = i;
        }
        if (ear >= 0) {
            mesh->triangles.push_back({v[(ear + size - 1) % size], v[ear], v[(ear + 1) % size]});
            v.erase(v.begin() + ear);
        } else if (flat >= 0) {
            v.erase(v.begin() + flat); // a straight-through vertex left over
        } else {
            mesh->triangles.clear();
            *error = QStringLiteral("the outline could not be triangulated");
            return false;
        }
    }
    if (orient(p[v[0]], p[v[1]], p[v[2]]) > 0)
        mesh->triangles.push_back({v[0], v[1], v[2]});

    buildNeighbours(mesh);
    flipToDelaunay(p, mesh);
    return true;
}
