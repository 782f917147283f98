// The loop's step count, the timer queue, the camera's clamps, keys and the controller line.
#include "app/app.h"
#include "core/timer.h"
#include "tests/unit/testutil.h"

TEST(Loop, StepsCatchUpWithTheClock) {
  uint32_t sim = 1000;
  // not behind: no step; 100 ms behind: ceil(100 / 33); one millisecond behind runs a whole step
  EXPECT_TRUE(loop_steps(&sim, 1000) == 0 && loop_steps(&sim, 1100) == 4 && sim == 1132);
  EXPECT_TRUE(loop_steps(&sim, 1132) == 0 && loop_steps(&sim, 1133) == 1 && sim == 1165);
  int steps = 0; // frames of 10 ms: a step only every third or fourth frame
  for (uint32_t now = 1175; now < 1175 + 330; now += 10) steps += (int)loop_steps(&sim, now);
  EXPECT_TRUE(steps >= 9 && steps <= 11) << steps;
}

static std::string fired;
static void mark(void *arg) { fired += (const char *)arg; }
static void add_more(void *) {
  fired += "m";
  timer_add_at(110, 0, mark, (void *)"n");
}

TEST(Timer, OrderDelayZeroAndCallbacksThatAdd) {
  timer_init(), fired.clear();
  timer_add_at(100, 50, mark, (void *)"b"), timer_add_at(100, 0, mark, (void *)"a"), timer_add_at(100, 50, mark, (void *)"c");
  timer_add_at(100, 10, add_more, nullptr);
  const struct { uint32_t now; const char *fired; } polls[] = {
      {100, "a"},      // delay 0 fires at the next poll
      {149, "amn"},    // an entry added by a callback is seen in the same walk
      {150, "amnbc"}}; // same due tick: order of addition
  for (auto &p : polls) {
    timer_poll_at(p.now);
    EXPECT_EQ(fired, p.fired) << p.now;
  }
  EXPECT_EQ(timer_count(), 0u);
}

TEST(Camera, VectorsPitchClampAndTheTerrainSquare) {
  camera c = {};
  cam_update_vectors(&c);
  EXPECT_TRUE(c.dir[2] == -1 && c.right[0] == 1 && c.up[1] == 1);
  c.yaw = 90, cam_update_vectors(&c);
  EXPECT_NEAR(c.dir[0], 1, 1e-6f);
  cam_add_pitch(&c, 90); // 900 pixels of downward motion
  EXPECT_EQ(c.pitch, 45);
  EXPECT_LT(c.dir[1], 0); // positive pitch looks down
  cam_add_pitch(&c, -200);
  EXPECT_EQ(c.pitch, -45);
  // walking stays inside the terrain square, at eye height plus a little bob
  g_cam = camera{};
  g_cam.pos[2] = -199;
  cam_update_vectors(&g_cam);
  g_in_forward = g_fwd_smooth = 1;
  for (int i = 0; i < 100; i++) cam_move();
  EXPECT_FLOAT_EQ(g_cam.pos[2], -f_tn_sz / 2);
  EXPECT_NEAR(g_cam.pos[1], 1.75f, 0.02f);
  g_in_forward = g_fwd_smooth = 0;
  g_cam = camera{};
}

TEST(Input, KeysAndTheFreeFlightKeyRestoresTheWalkingSpeed) {
  float speed = f_walk_speed;
  handle_key(SDLK_9, 0);
  EXPECT_TRUE(b_camera_clamp_y == 0 && f_walk_speed == 50);
  handle_key(SDLK_9, 0);
  EXPECT_TRUE(b_camera_clamp_y == 1 && f_walk_speed == speed);
  // a world that stands still (speed 0) stands still again after a flight
  f_walk_speed = 0;
  handle_key(SDLK_9, 0), handle_key(SDLK_9, 0);
  EXPECT_EQ(f_walk_speed, 0);
  // flight configured in the file: no speed was ever saved, the configured one stays
  f_walk_speed = speed;
  b_camera_clamp_y = g_walk_speed_saved = 0;
  handle_key(SDLK_9, 0);
  EXPECT_FLOAT_EQ(f_walk_speed, speed);
  b_camera_clamp_y = 1;
  handle_key(SDLK_p, 0);
  g_mouse_captured = 1;
  handle_key(SDLK_q, 0); // Q alone does nothing
  EXPECT_TRUE(g_screenshot_request == 1 && g_mouse_captured == 1);
  handle_key(SDLK_q, KMOD_LALT); // Alt as the key event carried it, even if released since
  handle_key(SDLK_ESCAPE, 0);
  EXPECT_TRUE(g_mouse_captured == 0 && g_quit == 1);
  g_quit = g_screenshot_request = 0;
}

// A controller's lines carry the start-up name, like every line of initialisation.
TEST(Input, ControllerLineCarriesTheStartUpName) {
  ASSERT_EQ(SDL_Init(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
  int dev = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 0);
  ASSERT_GE(dev, 0) << SDL_GetError();
  std::string out = stdout_of(open_controller);
  EXPECT_TRUE(out.rfind("init: Gamecontroller '", 0) == 0 && out.find("' attached.\n") != std::string::npos) << out;
  ASSERT_NE(g_controller, nullptr);
  SDL_GameControllerClose(g_controller);
  g_controller = nullptr;
  SDL_JoystickDetachVirtual(dev);
  SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}
