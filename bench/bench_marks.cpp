// The drawing mode's marks on a 3840 x 2160 screen, each beside a pen move in the
// mode measured in the same run.
#include <benchmark/benchmark.h>
