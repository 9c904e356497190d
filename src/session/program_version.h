#pragma once
// The program's version, as the window's caption and --version show it.
// It comes from the CMake project's version.
namespace qv {

#ifndef QV_PROGRAM_VERSION
#error "QV_PROGRAM_VERSION is set by the build (the CMake project's version)"
#endif
inline constexpr const char* kProgramVersion = QV_PROGRAM_VERSION;

} // namespace qv
