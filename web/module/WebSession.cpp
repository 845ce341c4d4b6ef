// The live instance of the playground: the page writes the input record in place, steps
// the instance a few hundred steps per frame and reads the outputs and signals in place.
// The steps are those a scenario run takes (SetInputs, then Step), and every change of the
// input record is kept, so that the drive can be written as recorded inputs that replay
// in corvanta-sim to the same bits.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "corvanta_engine.h"
#include "corvanta_vehicle.h"
#include "corvanta_web.h"
#include "tools/sim/RecordedInputsRecorder.h"
#include "web/module/WebText.h"

struct CorvantaWebSession {
  CorvantaInstance *instance = nullptr;
  ExtU_Corvanta_T inputs{};
  ExtU_Corvanta_T initialized{};  // the record the last Initialize used
  std::vector<double> signals;
  std::uint64_t steps = 0;
  // The record of every step that used another record than the step before (the first
  // step always): the step index and the record.
  struct Change {
    std::uint64_t step;
    ExtU_Corvanta_T inputs;
  };
  std::vector<Change> changes;
};

namespace {

bool sameRecord(const ExtU_Corvanta_T &a, const ExtU_Corvanta_T &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void startRun(CorvantaWebSession &session) {
  corvanta_instance_set_inputs(session.instance, &session.inputs);
  corvanta_instance_initialize(session.instance);
  session.initialized = session.inputs;
  session.steps = 0;
  session.changes.clear();
  corvanta_instance_initial_signals(session.instance, session.signals.data(), session.signals.size());
}

}  // namespace

extern "C" {

CorvantaWebSession *corvanta_web_session_create(const char *vehicle_json, size_t length, char **error) {
  if (error != nullptr) {
    *error = nullptr;
  }
  try {
    CorvantaVehicle *vehicle = nullptr;
    if (vehicle_json != nullptr && length > 0) {
      std::vector<char> message(16384, '\0');
      vehicle = corvanta_vehicle_parse(vehicle_json, length, "/", "vehicle", message.data(), message.size());
      if (vehicle == nullptr) {
        if (error != nullptr) {
          *error = corvanta::web::copyText(message.data());
        }
        return nullptr;
      }
    }
    CorvantaInstance *instance = corvanta_instance_create(vehicle);
    corvanta_vehicle_free(vehicle);
    if (instance == nullptr) {
      if (error != nullptr) {
        *error = corvanta::web::copyText("the vehicle cannot be simulated (out of memory or invalid values)");
      }
      return nullptr;
    }
    auto *session = new CorvantaWebSession;
    session->instance = instance;
    session->signals.assign(corvanta_signal_count(), 0.0);
    session->inputs.GearSelector = CORVANTA_GEAR_DRIVE;
    startRun(*session);
    return session;
  } catch (const std::bad_alloc &) {
    if (error != nullptr) {
      *error = corvanta::web::copyText("out of memory");
    }
    return nullptr;
  }
}

void corvanta_web_session_free(CorvantaWebSession *session) {
  if (session != nullptr) {
    corvanta_instance_terminate(session->instance);
    corvanta_instance_free(session->instance);
    delete session;
  }
}

double *corvanta_web_session_inputs(CorvantaWebSession *session) {
  return session != nullptr ? reinterpret_cast<double *>(&session->inputs) : nullptr;
}

const double *corvanta_web_session_outputs(const CorvantaWebSession *session) {
  return session != nullptr ? reinterpret_cast<const double *>(corvanta_instance_outputs(session->instance)) : nullptr;
}

const double *corvanta_web_session_signals(const CorvantaWebSession *session) {
  return session != nullptr ? session->signals.data() : nullptr;
}

void corvanta_web_session_initialize(CorvantaWebSession *session) {
  if (session != nullptr) {
    startRun(*session);
  }
}

double corvanta_web_session_step(CorvantaWebSession *session, uint32_t steps) {
  if (session == nullptr) {
    return 0.0;
  }
  if (steps == 0) {
    return static_cast<double>(session->steps);
  }
  // A run starts from the record of its first step, as a replay of the recorded inputs
  // does: a record changed between the initialisation and the first step starts it anew.
  if (session->steps == 0 && !sameRecord(session->inputs, session->initialized)) {
    startRun(*session);
  }
  for (uint32_t k = 0; k < steps; ++k) {
    if (session->changes.empty() || !sameRecord(session->changes.back().inputs, session->inputs)) {
      try {
        session->changes.push_back(CorvantaWebSession::Change{session->steps, session->inputs});
      } catch (const std::bad_alloc &) {
        // The drive can no longer be recorded; it goes on.
      }
    }
    corvanta_instance_set_inputs(session->instance, &session->inputs);
    corvanta_instance_step(session->instance);
    ++session->steps;
  }
  corvanta_instance_signals(session->instance, session->signals.data(), session->signals.size());
  return static_cast<double>(session->steps);
}

double corvanta_web_session_step_count(const CorvantaWebSession *session) {
  return session != nullptr ? static_cast<double>(session->steps) : 0.0;
}

char *corvanta_web_session_recorded_inputs(const CorvantaWebSession *session) {
  if (session == nullptr) {
    return nullptr;
  }
  // Written as corvanta-sim --inputs-out writes them, through the same recorder.
  const char *path = "/tmp/corvanta-web-drive.csv";
  const auto columns = corvanta::sim::recordedInputColumns();
  CorvantaEngineError error;
  CorvantaCsvWriter *writer = corvanta_csv_open(path, columns.data(), columns.size(), &error);
  if (writer == nullptr) {
    return nullptr;
  }
  {
    corvanta::sim::RecordedInputsRecorder recorder(writer, reinterpret_cast<const double *>(&session->initialized));
    for (const CorvantaWebSession::Change &change : session->changes) {
      recorder.record(change.step, reinterpret_cast<const double *>(&change.inputs));
    }
    recorder.finish(session->steps);
    if (recorder.failed()) {
      corvanta_csv_discard(writer);
      return nullptr;
    }
  }
  if (corvanta_csv_close(writer, &error) != CORVANTA_ENGINE_OK) {
    return nullptr;
  }
  std::string text;
  const bool read = corvanta::web::readFile(path, text);
  std::remove(path);
  return read ? corvanta::web::copyText(text) : nullptr;
}

}  // extern "C"
