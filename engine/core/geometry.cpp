#include "engine/core/geometry.h"

#include <algorithm>

namespace {

constexpr float kPi = 3.14159265358979323846f;

struct Interval {
    float min, max;
};

Interval project(const fvec2d& axis, std::initializer_list<fvec2d> points) {
    Interval r{points.begin()->dot(axis), points.begin()->dot(axis)};
    for (const fvec2d& p : points) {
        float d = p.dot(axis);
        r.min = std::min(r.min, d);
        r.max = std::max(r.max, d);
    }
    return r;
}

bool inside(float v, Interval i) { return v >= i.min && v <= i.max; }

}  // namespace

bool less_by_x(const fvec2d& a, const fvec2d& b) { return a.x < b.x; }
bool less_by_y(const fvec2d& a, const fvec2d& b) { return a.y < b.y; }

float angle_between(fvec2d a, fvec2d b) {
    if ((a.x == 0 && a.y == 0) || (b.x == 0 && b.y == 0)) return 0;
    // Rounding can push the cosine of parallel vectors just past +-1, where acos is NaN.
    float cosine = std::clamp(a.dot(b) / (a.length() * b.length()), -1.0f, 1.0f);
    float angle = std::acos(cosine) * 180.0f / kPi;
    float c = a.x * b.y - a.y * b.x;
    float sign = c == 0 ? 1.0f : c / std::fabs(c);
    return -(sign * angle);
}

QuadBounds quad_bounds(const fquad2d& q) {
    auto [min_x, max_x] = std::minmax_element(q.c, q.c + 4, less_by_x);
    auto [min_y, max_y] = std::minmax_element(q.c, q.c + 4, less_by_y);
    return {min_x->x, min_y->y, max_x->x - min_x->x, max_y->y - min_y->y};
}

bool point_in_quad(fvec2d p, const fquad2d& q) {
    fvec2d m = q.centre();
    if ((p - m).length() > (q.c[0] - m).length()) return false;
    fvec2d e = q.c[3] - q.c[2];
    if (!inside(p.dot(e), project(e, {q.c[0], q.c[1]}))) return false;
    fvec2d f = q.c[2] - q.c[1];
    if (!inside(p.dot(f), project(f, {q.c[0], q.c[3]}))) return false;
    return true;
}

bool quads_overlap(const fquad2d& a, const fquad2d& b, fvec2d* contact, fvec2d* axis) {
    fvec2d ma = a.centre(), mb = b.centre();
    float ra = (a.c[0] - ma).length(), rb = (b.c[0] - mb).length();
    if ((mb - ma).length() > ra + rb) return false;

    struct AxisTest {
        fvec2d edge;
        Interval own;
        const fquad2d* other;
    };
    const AxisTest tests[4] = {
        {a.c[3] - a.c[2], project(a.c[3] - a.c[2], {a.c[0], a.c[1]}), &b},
        {a.c[2] - a.c[1], project(a.c[2] - a.c[1], {a.c[0], a.c[3]}), &b},
        {b.c[3] - b.c[2], project(b.c[3] - b.c[2], {b.c[0], b.c[1]}), &a},
        {b.c[2] - b.c[1], project(b.c[2] - b.c[1], {b.c[0], b.c[3]}), &a},
    };

    float best = 0;
    for (int i = 0; i < 4; ++i) {
        const AxisTest& t = tests[i];
        const fquad2d& o = *t.other;
        Interval other = project(t.edge, {o.c[0], o.c[1], o.c[2], o.c[3]});
        if (t.own.min > other.max || other.min > t.own.max) return false;
        if (!axis) continue;
        float first = other.max - t.own.min;
        float second = t.own.max - other.min;
        if (i == 0) {
            best = std::min(first, second);
            *axis = t.edge;
        } else if (first < second && first < best) {
            best = first;
            *axis = t.edge;
        } else if (second < best) {
            best = second;
            *axis = t.edge;
        }
    }

    if (contact) {
        for (int i = 0; i < 4; ++i) {
            if (point_in_quad(a.c[i], b)) {
                *contact = a.c[i];
                break;
            }
            if (point_in_quad(b.c[i], a)) {
                *contact = b.c[i];
                break;
            }
        }
    }
    return true;
}
