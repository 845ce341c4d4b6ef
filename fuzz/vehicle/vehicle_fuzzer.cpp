// libFuzzer target: the vehicle library's readers, vehicle files (JSON) and tyre property
// files (.tir), through its C interface.
//
// Input: byte 0 chooses what the rest is (byte 0 mod 2):
//   0  a vehicle document, read by corvanta_vehicle_parse with tyre files found in the test
//      data folder (tests/data/vehicle: "tyre": "low_mu_205_55R16.tir" names a real file);
//   1  a .tir text: byte 1 chooses the axle (byte 1 mod 3 - 1: both, front, rear), the rest
//      is the file, read by corvanta_vehicle_load_tyre into the built-in set and as the
//      tyre of a vehicle document.
//
// Checked on every input, besides the sanitizers' own checks:
//   - a set that is read validates (corvanta_vehicle_validate finds no problem), makes an
//     instance, and its vehicle file reads back to a set of the same identity;
//   - a tyre that is read, written as a .tir file and read again gives the same values;
//   - every message (refusal, validation report, warnings) is bounded whatever the input's
//     size (lines of at most kMaxLineBytes bytes; at most kMaxLines lines besides one per
//     problem of validation, which are bounded by the parameter list) and free of control
//     characters other than the newline between its lines (no C0, DEL or UTF-8 encoded C1
//     character).
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vehicle/corvanta_vehicle.h"

namespace {

constexpr std::size_t kMaxLines = 24;
constexpr std::size_t kMaxLineBytes = 4096;
constexpr std::size_t kMessageBytes = 1 << 16;

[[noreturn]] void fail(const char *what, const char *detail = "") {
  std::fprintf(stderr, "vehicle_fuzzer: %s%s%s\n", what, *detail ? ": " : "", detail);
  std::abort();
}

void checkMessage(const char *text, const char *what) {
  const std::size_t length = std::strlen(text);
  if (length + 1 >= kMessageBytes) {
    fail("a message filled the whole buffer", what);
  }
  std::size_t lines = 1;
  std::size_t lineBytes = 0;
  for (std::size_t k = 0; k < length; ++k) {
    const auto c = static_cast<unsigned char>(text[k]);
    if (c == '\n') {
      ++lines;
      lineBytes = 0;
      continue;
    }
    ++lineBytes;
    if (c < 0x20 || c == 0x7f) {
      fail("a control character in a message", what);
    }
    if (c == 0xc2 && k + 1 < length && static_cast<unsigned char>(text[k + 1]) >= 0x80 &&
        static_cast<unsigned char>(text[k + 1]) <= 0x9f) {
      fail("a C1 control character in a message", what);
    }
    if (lineBytes > kMaxLineBytes) {
      fail("a message line longer than the bound", text);
    }
  }
  // Validation reports every problem: at most one per value of a scalar or tyre coefficient
  // (two axles) and per table.
  if (lines > kMaxLines + 2 * corvanta_vehicle_parameter_count()) {
    fail("a message of more lines than the bound", text);
  }
}

// A set that was read: it validates, simulates, and its vehicle file reads back the same.
void checkSet(const CorvantaVehicle *vehicle, const char *what) {
  std::vector<char> report(kMessageBytes);
  const int problems = corvanta_vehicle_validate(vehicle, report.data(), report.size());
  checkMessage(report.data(), what);
  if (problems != 0) {
    fail("a set that was read does not validate", report.data());
  }
  CorvantaInstance *instance = corvanta_instance_create(vehicle);
  if (instance == nullptr) {
    fail("a valid set makes no instance", what);
  }
  corvanta_instance_initialize(instance);
  corvanta_instance_step(instance);
  corvanta_instance_free(instance);
  const std::size_t length = corvanta_vehicle_to_json(vehicle, nullptr, 0);
  std::string text(length + 1, '\0');
  if (corvanta_vehicle_to_json(vehicle, text.data(), text.size()) != length) {
    fail("the vehicle file changed length between two calls", what);
  }
  std::vector<char> error(kMessageBytes);
  CorvantaVehicle *again = corvanta_vehicle_parse(text.data(), length, nullptr, "again", error.data(), error.size());
  if (again == nullptr) {
    fail("the vehicle file of a set that was read does not read back", error.data());
  }
  if (corvanta_vehicle_identity(again) != corvanta_vehicle_identity(vehicle)) {
    fail("the vehicle file of a set reads back to other values", what);
  }
  corvanta_vehicle_free(again);
}

// A file in memory with a path that the readers open as any other.
class MemoryFile {
 public:
  MemoryFile(const std::uint8_t *data, std::size_t size) : fd_(memfd_create("fuzz.tir", 0)) {
    if (fd_ < 0) {
      fail("memfd_create failed");
    }
    for (std::size_t done = 0; done < size;) {
      const ssize_t wrote = write(fd_, data + done, size - done);
      if (wrote <= 0) {
        fail("writing the memory file failed");
      }
      done += static_cast<std::size_t>(wrote);
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemoryFile() { close(fd_); }
  MemoryFile(const MemoryFile &) = delete;
  MemoryFile &operator=(const MemoryFile &) = delete;
  const std::string &path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

// A scratch folder for the .tir files written back, removed when the fuzzer exits.
char scratchName[] = "/tmp/corvanta-vehicle-fuzz-XXXXXX";

void removeScratch() {
  const std::string file = std::string(scratchName) + "/back.tir";
  unlink(file.c_str());
  rmdir(scratchName);
}

const std::string &scratchFolder() {
  static const std::string folder = [] {
    if (mkdtemp(scratchName) == nullptr) {
      fail("mkdtemp failed");
    }
    std::atexit(removeScratch);
    return std::string(scratchName);
  }();
  return folder;
}

void vehicleDocument(const std::uint8_t *data, std::size_t size) {
  std::vector<char> error(kMessageBytes);
  CorvantaVehicle *vehicle = corvanta_vehicle_parse(
      reinterpret_cast<const char *>(data), size, CORVANTA_FUZZ_VEHICLE_DATA, "fuzz.json", error.data(), error.size());
  if (vehicle == nullptr) {
    checkMessage(error.data(), "refusal of a vehicle document");
    if (error[0] == '\0') {
      fail("a vehicle document was refused without a reason");
    }
    return;
  }
  checkMessage(corvanta_vehicle_name(vehicle), "name");
  checkMessage(corvanta_vehicle_warnings(vehicle), "warnings");
  checkSet(vehicle, "a vehicle document");
  corvanta_vehicle_free(vehicle);
}

void tyreFile(int axle, const std::uint8_t *data, std::size_t size) {
  const MemoryFile file(data, size);
  std::vector<char> error(kMessageBytes);
  CorvantaVehicle *vehicle = corvanta_vehicle_create_builtin();
  const int status = corvanta_vehicle_load_tyre(vehicle, axle, file.path().c_str(), error.data(), error.size());
  if (status != 0) {
    checkMessage(error.data(), "refusal of a .tir file");
    if (error[0] == '\0') {
      fail("a .tir file was refused without a reason");
    }
  } else {
    checkMessage(corvanta_vehicle_warnings(vehicle), "warnings of a .tir file");
    // Written and read again: the same values.  (Whether the set validates is checked
    // through the vehicle document below.)
    const int side = axle == 1 ? 1 : 0;
    const std::string written = scratchFolder() + "/back.tir";
    if (corvanta_vehicle_export_tir(vehicle, side, written.c_str(), error.data(), error.size()) != 0) {
      fail("export of a tyre that was read failed", error.data());
    }
    CorvantaVehicle *copy = corvanta_vehicle_copy(vehicle);
    if (corvanta_vehicle_load_tyre(copy, side, written.c_str(), error.data(), error.size()) != 0) {
      fail("a .tir file written from a tyre does not read back", error.data());
    }
    if (corvanta_vehicle_identity(copy) != corvanta_vehicle_identity(vehicle)) {
      fail("a .tir file written from a tyre reads back to other values");
    }
    corvanta_vehicle_free(copy);
  }
  corvanta_vehicle_free(vehicle);
  // The same file as the tyre of a vehicle document: a set read validates.
  const std::string document = "{\"tyre\": \"" + file.path() + "\"}";
  vehicleDocument(reinterpret_cast<const std::uint8_t *>(document.data()), document.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  if (data[0] % 2 == 0) {
    vehicleDocument(data + 1, size - 1);
  } else if (size >= 2) {
    tyreFile(data[1] % 3 - 1, data + 2, size - 2);
  }
  return 0;
}
