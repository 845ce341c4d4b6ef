// Resource folders from what importers give, and the vehicle parameters' names and value
// references.
#include "fmi/FmuResources.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "fmi/FmuParameters.h"

namespace corvanta_fmi {
namespace {

TEST(FmuResources, FileUrisOfTheFormsImportersWrite) {
  EXPECT_EQ(resourceDirectoryFromUri("file:///tmp/fmu/resources"), "/tmp/fmu/resources/");
  EXPECT_EQ(resourceDirectoryFromUri("file:///tmp/fmu/resources/"), "/tmp/fmu/resources/");
  EXPECT_EQ(resourceDirectoryFromUri("file:/tmp/fmu/resources"), "/tmp/fmu/resources/");
  EXPECT_EQ(resourceDirectoryFromUri("file://localhost/tmp/fmu/resources"), "/tmp/fmu/resources/");
  EXPECT_EQ(resourceDirectoryFromUri("file:///tmp/my%20fmu/r%c3%a9sources%2541"), "/tmp/my fmu/r\xc3\xa9sources%41/");
#if defined(_WIN32)
  EXPECT_EQ(resourceDirectoryFromUri("file:///C:/fmu/resources"), "C:/fmu/resources/");
  EXPECT_EQ(resourceDirectoryFromUri("file://server/share/fmu"), "//server/share/fmu/");
#else
  EXPECT_EQ(resourceDirectoryFromUri("file:///C:/fmu/resources"), "/C:/fmu/resources/");
#endif
}

TEST(FmuResources, NoFolderFromWhatIsNotAFileUri) {
  EXPECT_EQ(resourceDirectoryFromUri(nullptr), "");
  EXPECT_EQ(resourceDirectoryFromUri(""), "");
  EXPECT_EQ(resourceDirectoryFromUri("http://example.org/fmu/resources"), "");
  EXPECT_EQ(resourceDirectoryFromUri("/tmp/fmu/resources"), "");
  EXPECT_EQ(resourceDirectoryFromUri("file:///tmp/bad%2"), "");
  EXPECT_EQ(resourceDirectoryFromUri("file:///tmp/bad%zz/x"), "");
  EXPECT_EQ(resourceDirectoryFromUri("file:///tmp/nul%00byte"), "");
}

TEST(FmuResources, PathsOfFmi3AndAbsoluteNames) {
  EXPECT_EQ(resourceDirectoryFromPath(nullptr), "");
  EXPECT_EQ(resourceDirectoryFromPath(""), "");
  EXPECT_EQ(resourceDirectoryFromPath("/tmp/fmu/resources/"), "/tmp/fmu/resources/");
  EXPECT_EQ(resourceDirectoryFromPath("/tmp/fmu/resources"), "/tmp/fmu/resources/");
  EXPECT_EQ(resourceDirectoryFromPath("C:\\fmu\\resources\\"), "C:\\fmu\\resources\\");
  EXPECT_TRUE(isAbsolutePath("/tmp/estate.json"));
  EXPECT_FALSE(isAbsolutePath("estate.json"));
  EXPECT_FALSE(isAbsolutePath("vehicles/estate.json"));
  EXPECT_FALSE(isAbsolutePath(""));
#if defined(_WIN32)
  EXPECT_TRUE(isAbsolutePath("C:\\vehicles\\estate.json"));
  EXPECT_TRUE(isAbsolutePath("C:/vehicles/estate.json"));
  EXPECT_TRUE(isAbsolutePath("\\\\server\\share\\estate.json"));
  EXPECT_FALSE(isAbsolutePath("C:estate.json"));
#else
  EXPECT_FALSE(isAbsolutePath("C:\\vehicles\\estate.json"));
#endif
}

// FNV-1a of the names, worked out on their own: 0x10000000 + the low 28 bits.
TEST(FmuParameters, ValueReferencesComeFromTheNames) {
  EXPECT_EQ(parameterValueReference("VehicleMass"), 390740195U);
  EXPECT_EQ(parameterValueReference("FrontTyre.PDY1"), 304029754U);
  EXPECT_EQ(parameterValueReference("RearTyre.PDY1"), 473874607U);
}

TEST(FmuParameters, EveryScalarAndBothAxlesOfEveryTyreCoefficientOnce) {
  std::size_t scalars = 0;
  std::size_t tyre = 0;
  for (std::size_t k = 0; k < corvanta_vehicle_parameter_count(); ++k) {
    CorvantaParameterInfo info{};
    ASSERT_EQ(corvanta_vehicle_parameter_info(k, &info), CORVANTA_VEHICLE_OK);
    scalars += info.kind == CORVANTA_PARAMETER_SCALAR ? 1 : 0;
    tyre += info.kind == CORVANTA_PARAMETER_TYRE ? 1 : 0;
  }
  const std::vector<FmuParameter> parameters = fmuParameters();
  ASSERT_EQ(parameters.size(), scalars + 2 * tyre);
  std::set<std::string> names;
  std::set<std::uint32_t> references;
  for (const FmuParameter &p : parameters) {
    EXPECT_TRUE(names.insert(p.name).second) << p.name;
    EXPECT_TRUE(references.insert(p.vr).second) << p.name;
    EXPECT_GE(p.vr, kParameterReferenceBase) << p.name;
    EXPECT_EQ(p.vr, parameterValueReference(p.name));
    if (p.info.kind == CORVANTA_PARAMETER_TYRE) {
      EXPECT_EQ(p.name, std::string(p.axle == 0 ? "FrontTyre." : "RearTyre.") + p.info.name);
    } else {
      EXPECT_EQ(p.axle, -1);
      EXPECT_EQ(p.name, p.info.name);
    }
    // Each name is one the vehicle library takes.
    CorvantaVehicle *vehicle = corvanta_vehicle_create_builtin();
    double value = 0.0;
    EXPECT_EQ(corvanta_vehicle_get(vehicle, p.name.c_str(), &value, 1, nullptr), CORVANTA_VEHICLE_OK) << p.name;
    EXPECT_EQ(value, p.info.builtin) << p.name;
    corvanta_vehicle_free(vehicle);
  }
  EXPECT_EQ(names.count("VehicleMass"), 1U);
  EXPECT_EQ(names.count("RearTyre.QSY1"), 1U);
  EXPECT_EQ(names.count("GearRatio_Table"), 0U);  // tables stay out
}

}  // namespace
}  // namespace corvanta_fmi
