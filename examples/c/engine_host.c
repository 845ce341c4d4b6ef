/*
 * Runs a scenario file through the scenario engine with the linked model library and
 * prints the last row: what corvanta-sim does, in a few lines of C.
 *
 *     engine_host examples/scenarios/step-steer.json
 */
#include <stdio.h>
#include <stdlib.h>

#include <corvanta.h>
#include <corvanta_engine.h>

int main(int argc, char **argv) {
  CorvantaModelFunctions model = CORVANTA_LINKED_MODEL_FUNCTIONS;
  CorvantaEngineError error;
  CorvantaRunOptions run = {0}; /* a row at time 0 and after every 100th step */
  CorvantaScenario *scenario;
  uint64_t rows;
  double *table;
  const double *last;

  if (argc != 2) {
    fprintf(stderr, "usage: %s SCENARIO\n", argv[0]);
    return 2;
  }
  scenario = corvanta_scenario_load_file(argv[1], NULL, &error);
  if (scenario == NULL) {
    fprintf(stderr, "%s\n", error.message); /* "FILE:LINE:COLUMN: ..." or "FILE: PATH: ..." */
    return 2;
  }
  rows = corvanta_scenario_row_count(scenario, run.every, 1);
  table = malloc((size_t)rows * CORVANTA_ROW_LENGTH * sizeof(double));
  if (table == NULL) {
    corvanta_scenario_free(scenario);
    return 1;
  }
  run.rows = table;
  run.row_capacity = rows;
  if (corvanta_scenario_run(scenario, &model, &run, NULL, &error) != CORVANTA_ENGINE_OK) {
    fprintf(stderr, "%s\n", error.message);
    free(table);
    corvanta_scenario_free(scenario);
    return 1;
  }
  last = table + (rows - 1) * CORVANTA_ROW_LENGTH;
  printf("%s: %llu rows; at %.4f s: X %.3f m, Y %.3f m, speed %.3f m/s\n", corvanta_scenario_name(scenario),
         (unsigned long long)rows, last[0], last[1 + CORVANTA_OUT_POSITION_X], last[1 + CORVANTA_OUT_POSITION_Y],
         last[1 + CORVANTA_OUT_LONGITUDINAL_SPEED]);
  free(table);
  corvanta_scenario_free(scenario);
  return 0;
}
