// On the simulated platform, starting the platform means installing the
// network the program runs on; the real network, where built, is put in
// front of it.
#include "platform/PlatformInit.h"

#include "platform/NetworkArgs.h"
#include "platform/RealLogin.h"
#include "platform/sim/SimNetwork.h"
#ifdef TAVRIN_HAVE_SAMBA
#include "platform/rpc/RealNetwork.h"
#endif

namespace tavrin::platform {

bool Initialize(std::string& error) {
  try {
    sim::Install(sim::NetworkFromEnvironment());
    error.clear();
    return true;
  } catch (const sim::NetworkDescriptionError& e) {
    error = e.what();
  } catch (const std::exception& e) {
    error = std::string("simulated network: ") + e.what();
  }
  return false;
}

#ifdef TAVRIN_HAVE_SAMBA

bool RealNetworkAvailable() { return true; }

bool InitializeReal(const RealNetworkOptions& options, std::string& password, std::string& error) {
  // No crash dump may hold the credentials: before they are made.
  if (!KeepSecretsOutOfDumps()) {
    password.assign(password.size(), '\0');
    password.clear();
    error = "the credentials cannot be kept out of crash dumps (core dumps cannot be turned off)";
    return false;
  }
  rpc::Options o;
  o.server = options.server;
  o.user = options.user;
  o.computersFile = options.computersFile;
  return rpc::Install(o, password, error);
}

std::string NetworkDescription() {
  return rpc::Installed() ? "real network: " + rpc::Describe() : "simulated network";
}

void PassEnded() {
  if (rpc::Installed()) rpc::ReleaseConnections();
}

void AbandonCalls() {
  if (rpc::Installed()) rpc::AbandonCalls();
}

#else

bool RealNetworkAvailable() { return false; }

bool InitializeReal(const RealNetworkOptions&, std::string& password, std::string& error) {
  KeepSecretsOutOfDumps();
  password.assign(password.size(), '\0');
  password.clear();
  error = "this build has no real network: it was built without the Samba client libraries";
  return false;
}

std::string NetworkDescription() { return "simulated network"; }

void PassEnded() {}

void AbandonCalls() {}

#endif

}  // namespace tavrin::platform
