#include "engine/testsuite/TestOutput.h"
#include "runtime/DoubleText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <nlohmann/json.hpp>

#include "engine/testsuite/SvgPlot.h"

namespace corvanta::testsuite {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

// JSON has no NaN: a metric that could not be determined is null.
Json number(double value) { return std::isfinite(value) ? Json(value) : Json(nullptr); }

std::string csvNumber(double value) {
  if (std::isnan(value)) {
    return "nan";
  }
  if (std::isinf(value)) {
    return value > 0 ? "inf" : "-inf";
  }
  char text[32];
  const auto result = doubletext::toChars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string displayValue(double value) {
  if (!std::isfinite(value)) {
    return "n/a";
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", value);
  return text;
}

}  // namespace

bool inRunCsv(int signal) { return signal < driving::kInitialPositionX || signal > driving::kInitialSpeed; }

void writeFileAtomically(const std::string &path, const std::string &text) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(fs::u8path(temporary), std::ios::binary | std::ios::trunc);
    if (!file) {
      throw OutputError("cannot create " + temporary);
    }
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    if (!file) {
      std::error_code ignored;
      fs::remove(fs::u8path(temporary), ignored);
      throw OutputError("cannot write " + temporary);
    }
  }
  std::error_code error;
  fs::rename(fs::u8path(temporary), fs::u8path(path), error);
  if (error) {
    fs::remove(fs::u8path(temporary), error);
    throw OutputError("cannot rename " + temporary + " to " + path);
  }
}

std::string runCsv(const RunRecord &run, std::size_t every) {
  std::string text;
  for (int signal = 0; signal < driving::kSignalCount; ++signal) {
    if (inRunCsv(signal)) {
      text += (text.empty() ? "" : ",") + std::string(driving::kSignalNames[signal]);
    }
  }
  text += "\n";
  for (std::size_t row = 0; row < run.frames.size(); ++row) {
    if (row % every != 0 && row + 1 != run.frames.size()) {
      continue;
    }
    bool first = true;
    for (int signal = 0; signal < driving::kSignalCount; ++signal) {
      if (inRunCsv(signal)) {
        text += (first ? "" : ",") + csvNumber(run.frames[row][signal]);
        first = false;
      }
    }
    text += "\n";
  }
  return text;
}

std::string metricsJson(const TestResult &result) {
  Json root;
  root["test"] = result.test;
  root["description"] = result.description;
  Json options = Json::object();
  for (const auto &[name, value] : result.options) {
    options[name] = value;
  }
  root["options"] = options;
  Json metrics = Json::object();
  for (const Metric &metric : result.metrics) {
    metrics[metric.name] = {{"value", number(metric.value)}, {"unit", metric.unit}, {"definition", metric.definition}};
  }
  root["metrics"] = metrics;
  Json tables = Json::object();
  for (const Table &table : result.tables) {
    Json rows = Json::array();
    for (const auto &row : table.rows) {
      Json values = Json::array();
      for (const double value : row) {
        values.push_back(number(value));
      }
      rows.push_back(values);
    }
    tables[table.name] = {{"columns", table.columns}, {"units", table.units}, {"rows", rows}};
  }
  root["tables"] = tables;
  Json runs = Json::array();
  for (const RunRecord &run : result.runs) {
    runs.push_back(run.name + ".csv");
  }
  root["runs"] = runs;
  Json scenarios = Json::array();
  for (const RunRecord &run : result.runs) {
    if (!run.scenarioJson.empty()) {
      scenarios.push_back(run.name + ".json");
    }
  }
  root["scenarios"] = scenarios;
  Json plots = Json::array();
  for (const Plot &plot : result.plots) {
    plots.push_back({{"file", plot.file}, {"title", plot.title}});
  }
  root["plots"] = plots;
  root["notes"] = result.notes;
  return root.dump(2) + "\n";
}

void writeTestOutput(const TestResult &result, const std::string &folder, std::size_t csvEvery) {
  std::error_code error;
  fs::create_directories(fs::u8path(folder), error);
  if (error) {
    throw OutputError("cannot create the folder " + folder + ": " + error.message());
  }
  const fs::path base = fs::u8path(folder);
  for (const RunRecord &run : result.runs) {
    writeFileAtomically((base / fs::u8path(run.name + ".csv")).u8string(), runCsv(run, csvEvery));
    if (!run.scenarioJson.empty()) {
      writeFileAtomically((base / fs::u8path(run.name + ".json")).u8string(), run.scenarioJson);
    }
  }
  for (const Plot &plot : result.plots) {
    writeFileAtomically((base / fs::u8path(plot.file)).u8string(), renderSvg(plot));
  }
  // Last, so that a complete metrics.json means a complete folder.
  writeFileAtomically((base / "metrics.json").u8string(), metricsJson(result));
}

std::string metricsTable(const TestResult &result) {
  std::size_t width = 6;
  for (const Metric &metric : result.metrics) {
    width = std::max(width, metric.name.size());
  }
  std::string text = result.test + ": " + result.description + "\n";
  for (const Metric &metric : result.metrics) {
    char line[256];
    std::snprintf(line, sizeof line, "  %-*s %12s %s\n", static_cast<int>(width), metric.name.c_str(),
                  displayValue(metric.value).c_str(), metric.unit.c_str());
    text += line;
  }
  for (const Table &table : result.tables) {
    text += "  " + table.name + ":";
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
      text += "  " + table.columns[c] + " (" + table.units[c] + ")";
    }
    text += "\n";
    for (const auto &row : table.rows) {
      text += "   ";
      for (const double value : row) {
        char cell[32];
        std::snprintf(cell, sizeof cell, " %12s", displayValue(value).c_str());
        text += cell;
      }
      text += "\n";
    }
  }
  for (const std::string &note : result.notes) {
    text += "  note: " + note + "\n";
  }
  return text;
}

std::string markdownReport(const std::vector<TestResult> &results) {
  std::string text = "# Standard vehicle-dynamics tests\n\n";
  text += "| test | metric | value | unit |\n|---|---|---:|---|\n";
  for (const TestResult &result : results) {
    for (const Metric &metric : result.metrics) {
      text +=
          "| " + result.test + " | " + metric.name + " | " + displayValue(metric.value) + " | " + metric.unit + " |\n";
    }
  }
  for (const TestResult &result : results) {
    text += "\n## " + result.test + "\n\n" + result.description + "\n\n";
    for (const Table &table : result.tables) {
      text += "|";
      for (std::size_t c = 0; c < table.columns.size(); ++c) {
        text += " " + table.columns[c] + " (" + table.units[c] + ") |";
      }
      text += "\n|";
      for (std::size_t c = 0; c < table.columns.size(); ++c) {
        text += "---:|";
      }
      text += "\n";
      for (const auto &row : table.rows) {
        text += "|";
        for (const double value : row) {
          text += " " + displayValue(value) + " |";
        }
        text += "\n";
      }
      text += "\n";
    }
    for (const std::string &note : result.notes) {
      text += "Note: " + note + "\n\n";
    }
    for (const Plot &plot : result.plots) {
      text += "![" + plot.title + "](" + result.test + "/" + plot.file + ")\n";
    }
  }
  text += "\nMetric definitions: docs/standard-tests.md; each test's metrics.json repeats them.\n";
  return text;
}

}  // namespace corvanta::testsuite
