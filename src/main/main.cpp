// QuorvexUpdate: program entry.
#include <iostream>

#include "app/command_line.h"
#include "app/options.h"
#include "app/profile_reader.h"

int main(int argc, char** argv) {
    const qv::CommandLine commandLine = qv::CommandLine::fromMain(argc, argv);
    qv::Options options;
    qv::ProfileReader profile;
    const auto result = qv::readStartupOptions(options, profile, qv::configFilePath(""), commandLine);
    if (!result.ok) {
        std::cerr << result.error << "\n";
        return 1;
    }
    std::cout << "QuorvexUpdate v2.7.6.1\n";
    return 0;
}
