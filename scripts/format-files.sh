# Sourced by check-format.sh and format.sh: prints the C++ sources that are
# kept formatted, one a line.
format_files() {
  find app base rights sid pickers computers passes cli platform tests bench scripts \
    -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.c' \) | sort
}
