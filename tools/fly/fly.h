// velder-fly: a fixed camera path over a loaded world, and the numbers it reports.
#pragma once
#include <string>
#include <vector>

// A closed tour over the ground: from the start into the woods, out to two far points and back.
struct fly_path {
  std::vector<float> x, z; // waypoints
  std::vector<float> at;   // path length up to each waypoint
  float length = 0;
};

// start: the camera start; woods: the densest stand of trees; size: the terrain's edge length.
void fly_path_build(fly_path *p, float start_x, float start_z, float woods_x, float woods_z, float size);
// Position and heading (yaw in degrees: 0 looks along -z, positive turns toward +x) at distance s
// along the path (clamped to it). The heading looks a few units ahead, so corners turn smoothly.
void fly_path_pose(const fly_path *p, float s, float *x, float *z, float *yaw);

// Nearest-rank percentile (0..100) of values; 0 when there are none.
double fly_percentile(std::vector<double> values, double pct);
double fly_mean(const std::vector<double> &values);
// A clock in ms: CLOCK_MONOTONIC for wall time, CLOCK_PROCESS_CPUTIME_ID for the CPU time of every
// thread (the renderer's included; other programs disturb it less than the wall time),
// CLOCK_THREAD_CPUTIME_ID for the calling thread alone (the game's work and the vertex work).
double fly_clock_ms(int clock);

// --poses: renders the fixed poses (the start's meadow, grass at the feet, the woods, the most
// strongly graded region, the sun, the highest ground) with the clock frozen and the generator
// seeded, writes OUT/NAME.png and OUT/half/NAME.png (half size, what references hold) and, with
// a reference folder, compares the half-size captures with REF/NAME.png. Returns the exit status:
// 1 when a pose differs by more than FLY_POSE_MEAN_MAX (in 1/255) per channel on average.
// only: a comma-separated list of the poses to write and compare, or null for all. repeat > 0:
// each pose is drawn that many times more and the least time of each pass is reported.
#define FLY_POSE_MEAN_MAX 2.0
// --guide: the pictures of docs/worlds.md into OUT (fly_guide.cpp); the exit status.
int fly_guide(const char *out_dir);
// --map: the world from above into the PNG out (fly_map.cpp), as loaded from dir with the seed;
// prints the landmarks' positions. The exit status.
int fly_map(const char *out, const char *dir, int seed);
int fly_poses(const char *out_dir, const char *ref_dir, const char *only, int repeat, float woods_x, float woods_z);
