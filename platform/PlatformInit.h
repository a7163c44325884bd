// Brings the platform up before anything else runs.
#pragma once

#include <string>

namespace tavrin::platform {

// On Windows there is nothing to do. On the simulated platform this installs
// the network that TAVRIN_SIM_NETWORK names, or the built-in one. Returns
// false with a message naming the file and the problem when the description
// cannot be used; the program must not start then.
bool Initialize(std::string& error);

// Real computers reached over the network from a system without the
// Windows interfaces (through the Samba client libraries).
struct RealNetworkOptions {
  std::string server;         // "NAME" or "NAME:PORT": stands for this computer
  std::string user;           // "DOMAIN\NAME" or "NAME"
  std::string computersFile;  // the computer list's names, one a line; "": the server alone
};
// Whether this build can reach real computers that way.
bool RealNetworkAvailable();
// Puts the real network behind the platform functions instead of the
// simulated one. The password is wiped from `password` whatever the outcome.
// False with a message when it cannot be used.
bool InitializeReal(const RealNetworkOptions& options, std::string& password, std::string& error);
// Which network the program works on, for the window and reports:
// "simulated network", "real network: SERVER as USER"; "" on Windows, where
// the network is the system's own.
std::string NetworkDescription();
// Called when a pass over the computers has ended: connections opened for
// it are closed.
void PassEnded();
// Ends the calls to other computers under way at once, where the platform
// can (the real network off Windows): they fail as not answering. For a
// program that closes during a pass and must not wait for a computer that
// has stopped answering. Elsewhere nothing happens.
void AbandonCalls();

}  // namespace tavrin::platform
