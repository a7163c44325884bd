// Real Windows and Samba computers reached from Linux through the Samba
// client libraries, behind the same platform functions as the simulated
// network: once installed, the LSA policy functions, the account lookups,
// the NetApi enumerations, NetServerGetInfo and NetGetAnyDCName answer from
// the computers themselves.
//
// One SMB connection per computer, over one TCP connection, serves every
// call to it (its LSA, SAM and server service pipes), from its first use
// until ReleaseConnections(), which the end of each pass calls. Samba's
// libraries cannot be entered from two threads at once, so the connections
// live in worker processes (Workers.h), one for each thread that calls:
// computers are worked side by side. A computer that does not take the
// connection within the connect limit (4 s), or stops answering a call for
// the call limit (10 s), fails with "does not answer" and holds up no other.
#pragma once

#include <cstddef>
#include <string>

namespace tavrin::rpc {

struct Options {
  // The computer that stands for "this computer": the account source and
  // the look-ups without a system name. "NAME" or "NAME:PORT".
  std::string server;
  // The account every connection authenticates as: "DOMAIN\NAME" or "NAME".
  std::string user;
  // What "Update list of computers" lists: one name a line ("#" starts a
  // comment). Empty: the server alone.
  std::string computersFile;
  // How long a computer has to take the TCP connection.
  unsigned connectTimeoutMs = 4000;
};

// "NAME" or "NAME:PORT" (a name or an IPv4 address) -> host and port (445
// when none). False when the port is not a number from 1 to 65535, or the
// host is empty or no name (an IPv6 literal among them).
bool SplitEndpoint(const std::string& text, std::string& host, unsigned& port);

// Installs the real network behind the platform functions. The password is
// wiped from `password` whatever the outcome; only its NT hash is kept, in
// memory. False with a message when the options cannot be used.
bool Install(const Options& options, std::string& password, std::string& error);
// Back to the simulated network: every connection closed, the credentials
// forgotten.
void Uninstall();
bool Installed();
// "SERVER as DOMAIN\user".
std::string Describe();

// Closes the connections no call is using and forgets which computers did
// not answer, so that the next pass tries them afresh.
void ReleaseConnections();
// Ends every call to another computer under way at once: the worker
// processes are ended, the calls fail as not answering, and later calls
// start new workers. For a program that closes during a pass.
void AbandonCalls();
// The connections open now.
size_t OpenConnections();

}  // namespace tavrin::rpc
