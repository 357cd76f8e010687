// The JSON report against its documented shape, cli/report.schema.json: the keywords the schema
// uses (type, enum, minimum, required, properties, additionalProperties, items) checked by a
// small validator, on reports of real runs that end every way a device can end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/Report.h"
#include "tests/cli/CliTestSupport.h"

namespace quillstone::cli {
namespace {

using quillstone::testing::CliRunner;
using quillstone::testing::ClosedLoopbackPort;
using quillstone::testing::SimulatedFleet;
using quillstone::testing::TcpName;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

nlohmann::json Schema() {
  std::ifstream in(QUILLSTONE_REPORT_SCHEMA);
  std::ostringstream content;
  content << in.rdbuf();
  return nlohmann::json::parse(content.str());
}

bool HasType(const nlohmann::json& value, const std::string& type) {
  if (type == "object") return value.is_object();
  if (type == "array") return value.is_array();
  if (type == "string") return value.is_string();
  if (type == "boolean") return value.is_boolean();
  if (type == "integer") return value.is_number_integer();
  if (type == "number") return value.is_number();
  return false;
}

// Every place where `value` breaks `schema`, as "path: what".
void Validate(const nlohmann::json& schema, const nlohmann::json& value, const std::string& path,
              std::vector<std::string>& faults) {
  if (schema.contains("type") && !HasType(value, schema["type"])) {
    faults.push_back(path + ": not of type " + schema["type"].get<std::string>());
    return;
  }
  if (schema.contains("enum") &&
      std::find(schema["enum"].begin(), schema["enum"].end(), value) == schema["enum"].end()) {
    faults.push_back(path + ": " + value.dump() + " not in the enum");
  }
  if (schema.contains("minimum") && value.is_number() && value < schema["minimum"]) {
    faults.push_back(path + ": below the minimum");
  }
  if (value.is_object()) {
    for (const nlohmann::json& key : schema.value("required", nlohmann::json::array())) {
      if (!value.contains(key)) faults.push_back(path + ": " + key.get<std::string>() + " missing");
    }
    const nlohmann::json properties = schema.value("properties", nlohmann::json::object());
    for (const auto& [key, member] : value.items()) {
      if (properties.contains(key)) {
        Validate(properties[key], member, path + "." + key, faults);
      } else if (schema.value("additionalProperties", true) == false) {
        faults.push_back(path + ": " + key + " not in the schema");
      }
    }
  }
  if (value.is_array() && schema.contains("items")) {
    for (std::size_t i = 0; i < value.size(); ++i) {
      Validate(schema["items"], value[i], path + "[" + std::to_string(i) + "]", faults);
    }
  }
}

std::vector<std::string> Faults(const nlohmann::json& document) {
  std::vector<std::string> faults;
  Validate(Schema(), document, "report", faults);
  return faults;
}

TEST(ReportSchemaTest, ReportsOfRealRunsHaveTheDocumentedShape) {
  SimulatedFleet fleet(1);
  devsim::SimulatorConfig refusing;
  refusing.faults.refusals["SSID"] = 2;
  devsim::Simulator& refuses = fleet.Add(refusing);
  CliRunner runner;
  const std::string closed = "tcp:127.0.0.1:" + std::to_string(ClosedLoopbackPort());
  const std::string options = runner.Write("o.ini", "SSID=Office\nWPAPSK=TopSecretPass\n");
  const std::string site = runner.Write("site.csv", "device\n" + TcpName(*fleet.All()[0]) + "\n" +
                                                        TcpName(refuses) + "\n" + closed + "\n");

  runner.Run({"apply", "--options", options, "--devices", site, "--verify", "--verify-timeout",
              "10", "--report", runner.folder.File("apply.json")});
  runner.Run({"apply", "--check", "--options", options, "--devices", site, "--report",
              runner.folder.File("check.json")});
  runner.Run({"read", "--devices", site, "SSID", "--report", runner.folder.File("read.json")});
  runner.Run({"test", "--devices", site, "--report", runner.folder.File("test.json")});
  // Stopped once the input is read (the housekeeping has run), before any device starts.
  runner.arp.owners.clear();
  runner.environment.interruption = [&runner] { return runner.arp.owners.empty() ? 0 : 15; };
  runner.Run({"apply", "--options", options, "--devices", site, "--report",
              runner.folder.File("stopped.json")});

  for (const char* name : {"apply.json", "check.json", "read.json", "test.json", "stopped.json"}) {
    const nlohmann::json document = nlohmann::json::parse(runner.Read(name));
    EXPECT_THAT(Faults(document), IsEmpty()) << name;
    EXPECT_EQ(document["devices"].size(), 3u) << name;
  }
}

TEST(ReportSchemaTest, TheCheckFindsWhatBreaksTheShape) {
  nlohmann::json document = nlohmann::json::parse(JsonReport({}, {}));
  ASSERT_THAT(Faults(document), IsEmpty());
  document.erase("version");
  document["jobs"] = -1;
  document["restart"] = "sometimes";
  document["devices"] = {{{"device", 7}}};
  document["extra"] = true;
  const std::vector<std::string> faults = Faults(document);
  EXPECT_THAT(faults,
              ::testing::IsSupersetOf({"report: version missing", "report.jobs: below the minimum",
                                       "report.restart: \"sometimes\" not in the enum",
                                       "report.devices[0].device: not of type string",
                                       "report: extra not in the schema"}));
}

}  // namespace
}  // namespace quillstone::cli
