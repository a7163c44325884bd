// Every test program keeps what the program would keep in the user's data
// folder (the journal of changes) in the build tree instead, so that a test
// run never adds to the journal of the user who runs it.
#include <cstdlib>

namespace {

const bool kTestData = [] {
#ifdef _WIN32
  _putenv_s("LOCALAPPDATA", TAVRIN_TEST_DATA);
#else
  setenv("XDG_DATA_HOME", TAVRIN_TEST_DATA, 1);
#endif
  return true;
}();

}  // namespace
