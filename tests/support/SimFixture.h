// Shared fixtures of the tests that run on the simulated network.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/SimNetwork.h"

namespace sim = tavrin::sim;  // the simulation's controls, in every test that uses them

namespace tavrin::test {

// WS01 in domain CORP (controller DC01, server SRV01, silent GHOST), PC-HOME in HOME.
sim::NetworkSpec SmallNetwork();

// The LSA writes of the simulation's call log, as "Add|Rem TARGET RIGHT", sorted.
std::vector<std::string> LsaWrites();

// The text form of a binary SID.
std::string SidText(const void* sid);

// Installs SmallNetwork() and runs the start steps before each test; ends them after.
class SimTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Installs another network and runs the start steps again.
  void Reinstall(const sim::NetworkSpec& description);
};

}  // namespace tavrin::test
