// qv-trace: reads a recording made with "QuorvexUpdate --record=FILE".
//   qv-trace show FILE    one line per event: time, direction, the decoded command
//   qv-trace stats FILE   exchanges per command, failures, pages, time, outcome
#include <fstream>
#include <iostream>
#include <string>

#include "trace_view.h"

namespace {

constexpr int kUsageError = 2;

const char* const kUsage =
    "Usage: qv-trace show FILE | stats FILE\n"
    "\n"
    "Reads a recording made with QuorvexUpdate --record=FILE.\n"
    "  show   one line per event: the time in seconds since the program started,\n"
    "         the direction (-> sent to the device, <- fetched from it) and the\n"
    "         command decoded with the chip's command names, addresses, counts,\n"
    "         pages, the answer's key fields and failures with their error codes\n"
    "  stats  exchanges per command, failed attempts and retries, pages erased,\n"
    "         programmed and read back, the time spent in exchanges and between\n"
    "         them (each line's time is taken from the line before it), and the\n"
    "         outcome\n"
    "Exit codes: 0 done, 2 usage error or a recording that cannot be read.\n";

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    if (argc != 3 || (std::string(argv[1]) != "show" && std::string(argv[1]) != "stats")) {
        std::cerr << kUsage;
        return kUsageError;
    }
    std::ifstream recording(argv[2], std::ios::binary);
    if (!recording) {
        std::cerr << "qv-trace: " << argv[2] << ": cannot be read\n";
        return kUsageError;
    }
    const std::string command = argv[1];
    return command == "show" ? qv::trace::show(recording, std::cout, std::cerr)
                             : qv::trace::stats(recording, std::cout, std::cerr);
}
