// Test helpers: a temporary directory that removes itself, and file writers.
#pragma once
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

struct TempDir {
  std::string dir;
  TempDir() {
    char t[] = "/tmp/velder-test-XXXXXX";
    dir = mkdtemp(t);
  }
  ~TempDir() { (void)!system(("rm -rf '" + dir + "'").c_str()); }
  std::string path(const std::string &name) const { return dir + "/" + name; }
  std::string write(const std::string &name, const std::string &text) const {
    std::string p = path(name);
    FILE *fp = fopen(p.c_str(), "wb");
    fwrite(text.data(), 1, text.size(), fp);
    fclose(fp);
    return p;
  }
};
