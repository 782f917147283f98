// velder-fly: the camera path and the order statistics of the report.
#include "fly.h"
#include <algorithm>
#include <cmath>
#include <time.h>

static const float DEG = 57.29577951f;
static const float LOOK_AHEAD = 8; // units

void fly_path_build(fly_path *p, float start_x, float start_z, float woods_x, float woods_z, float size) {
  *p = fly_path{};
  // the two far points sit a third and two thirds of a turn on from the woods, well inside the
  // edge, so the tour crosses the map (and its painted regions) rather than circling the start
  float a = atan2f(woods_z, woods_x), r = 0.35f * size;
  const float xs[] = {start_x, woods_x, r * cosf(a + 2.0944f), r * cosf(a + 4.1888f), start_x};
  const float zs[] = {start_z, woods_z, r * sinf(a + 2.0944f), r * sinf(a + 4.1888f), start_z};
  for (int i = 0; i < 5; i++) {
    if (i > 0) p->length += hypotf(xs[i] - xs[i - 1], zs[i] - zs[i - 1]);
    p->x.push_back(xs[i]);
    p->z.push_back(zs[i]);
    p->at.push_back(p->length);
  }
}

static void point_at(const fly_path *p, float s, float *x, float *z) {
  s = std::min(std::max(s, 0.0f), p->length);
  size_t i = 1;
  while (i + 1 < p->at.size() && p->at[i] < s) i++;
  float seg = p->at[i] - p->at[i - 1], t = seg > 0 ? (s - p->at[i - 1]) / seg : 0;
  *x = p->x[i - 1] + (p->x[i] - p->x[i - 1]) * t;
  *z = p->z[i - 1] + (p->z[i] - p->z[i - 1]) * t;
}

void fly_path_pose(const fly_path *p, float s, float *x, float *z, float *yaw) {
  point_at(p, s, x, z);
  float ax, az, bx, bz;
  point_at(p, s - LOOK_AHEAD, &ax, &az);
  point_at(p, s + LOOK_AHEAD, &bx, &bz);
  float dx = bx - ax, dz = bz - az;
  *yaw = dx == 0 && dz == 0 ? 0 : atan2f(dx, -dz) * DEG;
}

double fly_percentile(std::vector<double> v, double pct) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t rank = (size_t)std::ceil(pct / 100 * (double)v.size());
  return v[rank > 0 ? rank - 1 : 0];
}

double fly_mean(const std::vector<double> &v) {
  double s = 0;
  for (double x : v) s += x;
  return v.empty() ? 0 : s / (double)v.size();
}

double fly_clock_ms(int clock) {
  struct timespec ts;
  clock_gettime(clock, &ts);
  return (double)ts.tv_sec * 1e3 + (double)ts.tv_nsec / 1e6;
}
