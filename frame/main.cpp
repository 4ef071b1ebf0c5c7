// Entry point of zibrolt: writes one download file for one terminal.
#include <cstdio>

#include "frame/run_driver.hpp"

int main(int argc, char** argv) {
  int status = zibrolt::RunDriver(argc, argv, stdout);
  std::fflush(stdout);
  return status;
}
