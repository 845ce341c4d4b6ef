// The vehicle a scenario names with its "vehicle" key, and the model instances made for
// it.  A scenario's vehicle is a vehicle file (a path), an inline vehicle document, or an
// inline document with "base": a vehicle file whose parameters the document changes.
// Relative paths are resolved against the scenario's folder when the scenario is read.
#ifndef CORVANTA_ENGINE_VEHICLECHOICE_H
#define CORVANTA_ENGINE_VEHICLECHOICE_H

#include <filesystem>
#include <string>

#include "engine/corvanta_engine.h"
#include "engine/scenario/JsonDocument.h"

namespace corvanta::engine {

struct VehicleChoice;  // Schedule.h

// Makes the relative paths of a scenario's "vehicle" value (the file, "base", "tyre" files)
// relative to `directory` instead, so that the value means the same wherever the scenario
// is read from.  Values of other shapes are left for the scenario reader to refuse.
void resolveVehiclePaths(Json &vehicle, const std::filesystem::path &directory);

// Checks the "vehicle" value at `path` of a scenario read from `source` and returns the
// choice; throws ScenarioError for a value that is neither a path nor an object, an empty
// path or a "base" that is not a path.  The vehicle library checks the rest when a run
// starts.
VehicleChoice readVehicleChoice(const Json &vehicle, const std::string &source, const std::string &path);

// A new instance for a run: of the scenario's vehicle when it names one (nullptr: none),
// else of the model functions' Vehicle, else of the built-in car (CreateVehicleModel).
// Throws ScenarioError when the vehicle cannot be read or has problems, and ModelError
// when the model functions cannot simulate other vehicles or give no instance.
void *createInstance(const CorvantaModelFunctions &model, const VehicleChoice *vehicle);

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_VEHICLECHOICE_H
