// Shader reload under a real context: a good save relinks, a broken one warns and keeps the program.
#include "render/shader.h"
#include "tests/gl/gltest.h"

namespace {
std::string fs_colour(const char *rgb) { return std::string("#version 120\nvoid main() { gl_FragColor = vec4(") + rgb + ", 1.0); }\n"; }

// The colour a full-screen quad drawn with the record's current program gets.
uint32_t drawn(const prg *p) {
  GlTarget target(4);
  glUseProgram(p->id);
  glBegin(GL_QUADS);
  glVertex3f(-1, -1, -1), glVertex3f(1, -1, -1), glVertex3f(1, 1, -1), glVertex3f(-1, 1, -1);
  glEnd();
  glUseProgram(0);
  return target.pixel(2, 2);
}
} // namespace

// A good save switches at once: the next draw uses the new program and the old one is gone.
TEST(ShaderReload, GoodSavesRelinkBrokenOnesWarnAndKeepTheProgram) {
  TempDir d;
  std::string vs = "#version 120\nvoid main() { gl_Position = ftransform(); }\n";
  std::string fs = d.write("a.fs", fs_colour("1.0, 0.0, 0.0"));
  std::string paths[2] = {d.write("a.vs", vs), fs};
  prg p = {};
  p.id = glCreateProgram();
  p.count = 2;
  for (int i = 0; i < 2; i++) {
    p.shaders[i].path = strdup(paths[i].c_str());
    p.shaders[i].id = compile_shader(p.shaders[i].path, 1);
    glAttachShader(p.id, p.shaders[i].id);
  }
  glLinkProgram(p.id);
  ASSERT_EQ(drawn(&p), 0xFF0000FFu);
  const struct {
    std::string source; // empty: delete the file
    const char *warning;
    uint32_t colour; // drawn afterwards
  } saves[] = {
      {fs_colour("0.0, 0.0, 1.0"), nullptr, 0x0000FFFF},
      {"#version 120\nvoid main() { gl_FragColor = ; }\n", "^warning: compile_shader#[0-9]+: failed to compile fragment shader .*a.fs: [^]+$", 0x0000FFFF},
      {"#version 120\nvec4 shade(void);\nvoid main() { gl_FragColor = shade(); }\n",
       "^warning: reload_prog#[0-9]+: failed to link shader program \\(.*a.vs,.*a.fs\\):\n[^]+$", 0x0000FFFF},
      {"", "^warning: ureadf#[0-9]+: failed to open .*a.fs\n$", 0x0000FFFF},
      {fs_colour("0.0, 1.0, 0.0"), nullptr, 0x00FF00FF},
  };
  for (auto &s : saves) {
    SCOPED_TRACE(s.warning ? s.warning : "good save");
    remove(fs.c_str());
    if (!s.source.empty()) d.write("a.fs", s.source);
    uint32_t before = p.id;
    std::string err = stderr_of([&] { reload_prog(fs.c_str(), &p); });
    if (s.warning) {
      EXPECT_TRUE(std::regex_match(err, std::regex(s.warning)) && err.find("warning:", 1) == std::string::npos) << "one warning: " << err;
      EXPECT_EQ(p.id, before);
    } else {
      EXPECT_TRUE(err.empty() && p.id != before && !glIsProgram(before)) << err; // the old program is gone
    }
    EXPECT_EQ(drawn(&p), s.colour);
  }
  uint32_t id = p.id;
  reload_prog(d.path("other.fs").c_str(), &p); // not a source of this program: nothing happens
  EXPECT_EQ(p.id, id);
}
