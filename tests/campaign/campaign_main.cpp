// halv-fault-campaign: runs seeds of the fault campaign and prints the table
// of outcomes and every problem found.
//   halv-fault-campaign [--sensor] [SEEDS [FIRST]]   (default 100 seeds from 1)
//   halv-fault-campaign [--sensor] --seed N          (one seed, with its faults)
// --sensor runs the digital-sensor update through the reader instead of the
// Pumatic's.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "campaign/update_campaign.h"

namespace {

bool ParseCount(const char* text, uint32_t* value) {
  if (text == nullptr || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long n = strtoul(text, &end, 10);
  if (*end != '\0' || errno != 0 || n > UINT32_MAX) return false;
  *value = static_cast<uint32_t>(n);
  return true;
}

int Usage() {
  fprintf(stderr, "usage: halv-fault-campaign [--sensor] [SEEDS [FIRST]] | [--sensor] --seed N\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace halv::campaign;
  bool sensor = false;
  if (argc >= 2 && strcmp(argv[1], "--sensor") == 0) {
    sensor = true;
    --argc;
    ++argv;
  }
  uint32_t seeds = 100;
  uint32_t first = 1;
  bool verbose = false;
  if (argc >= 2 && strcmp(argv[1], "--seed") == 0) {
    if (argc != 3 || !ParseCount(argv[2], &first)) return Usage();
    seeds = 1;
    verbose = true;
  } else if (argc > 3 || (argc >= 2 && !ParseCount(argv[1], &seeds)) ||
             (argc == 3 && !ParseCount(argv[2], &first))) {
    return Usage();
  }
  if (seeds == 0 || first > UINT32_MAX - (seeds - 1)) return Usage();

  std::vector<SeedOutcome> outcomes;
  for (uint32_t i = 0; i < seeds; ++i) {
    outcomes.push_back(sensor ? RunSensorSeed(first + i) : RunSeed(first + i));
    const SeedOutcome& o = outcomes.back();
    if (verbose) {
      printf("seed %u: %s (%s): first run %d, second run %d\n", o.seed, o.kind_name,
             o.faults.c_str(), o.first_result, o.second_result);
    }
  }
  printf("%s", OutcomeTable(outcomes).c_str());
  const std::string problems = ProblemReport(outcomes);
  if (problems.empty()) {
    printf("seeds %u to %u: no problems\n", first, first + seeds - 1);
    return 0;
  }
  printf("\n%s", problems.c_str());
  return 1;
}
