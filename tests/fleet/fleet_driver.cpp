// A real fleet run for the tests, until the program's own command line is
// there: the lifts come from a JSON file instead of the device list.
//   fleet_driver LIFTS.json DB [--parallel N] [--call-interval MS]
//                [--retry-rounds N] [--retry-after S] [--resume] [--text]
// LIFTS.json: {"lifts": [{"line": 2, "id": "a", "values": {"target": …}}]}
#include <fstream>
#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "fleet/fleet_run.h"
#include "fleet_test_support.h"
#include "programming_call.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  qav::fleet::FleetRunRequest request;
  request.listPath = argv[1];
  request.databasePath = argv[2];
  request.cliPath = qav::testing::cliProgram();
  request.json = true;
  for (int i = 3; i < argc; ++i) {
    const std::string option = argv[i];
    const auto value = [&] { return i + 1 < argc ? std::stoi(argv[++i]) : 0; };
    if (option == "--parallel") request.parallel = value();
    else if (option == "--call-interval") request.callInterval = std::chrono::milliseconds(value());
    else if (option == "--retry-rounds") request.retryRounds = value();
    else if (option == "--retry-after") request.retryAfter = std::chrono::seconds(value());
    else if (option == "--resume") request.resume = true;
    else if (option == "--text") request.json = false;
    else return 2;
  }
  std::ifstream in(request.listPath);
  const nlohmann::json list = nlohmann::json::parse(in);
  for (const nlohmann::json& lift : list.at("lifts"))
    request.lifts.push_back(qav::testing::fleetLift(lift.at("line").get<std::size_t>(),
                                                    lift.value("id", ""),
                                                    lift.at("values").get<qav::SettingMap>()));
  return qav::fleet::runFleet(request, std::cout, std::cerr);
}
