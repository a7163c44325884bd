// What logging on to a real network takes besides its options: the
// password, read from a file descriptor or asked for on the terminal, and
// keeping it, and what is made of it, out of crash dumps.
#pragma once

#include <string>

namespace tavrin::platform {

// Keeps secrets out of crash dumps from now on: the process is made
// non-dumpable and its core file size limit, soft and hard, set to 0 (so
// that it cannot be raised again). Taking the real network's options, both
// password readers and InitializeReal call it before any secret is in
// memory. False when either could not be set. Nothing to do on Windows.
bool KeepSecretsOutOfDumps();

// Reads a password from a file descriptor: up to the first line end or the
// end of the input. False with a message when it cannot be read.
bool ReadPassword(int fd, std::string& password, std::string& error);
// Asks for a password on the terminal without echoing it. False when there
// is no terminal. The terminal's settings are restored on every way out:
// the line's end, the end of input, and SIGINT, SIGTERM, SIGHUP or SIGQUIT,
// after which the signal ends the program as it would have.
bool AskPassword(const std::string& prompt, std::string& password);

}  // namespace tavrin::platform
