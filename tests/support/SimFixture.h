// Shared fixtures of the tests that run on the simulated network.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/SimNetwork.h"

namespace sim = tavrin::sim;  // the simulation's controls, in every test that uses them

namespace tavrin::test {

// A small network: this computer WS01 in domain CORP with controller DC01,
// a member server, a workgroup computer, one that does not answer.
sim::NetworkSpec SmallNetwork();

// The LSA writes of the simulation's call log, as "Add|Rem TARGET RIGHT",
// sorted.
std::vector<std::string> LsaWrites();

// The text form of a binary SID.
std::string SidText(const void* sid);

// Installs SmallNetwork() (or a given one) before each test and runs the
// program's start steps on it; undoes them afterwards.
class SimTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Installs another network and runs the start steps again.
  void Reinstall(const sim::NetworkSpec& description);
};

}  // namespace tavrin::test
