#pragma once

// What kd7load-cli's exit status means; --help and the manual page list them.
namespace ExitStatus {
constexpr int kAllTook = 0;         // every port took the whole program
constexpr int kSomeDidNot = 1;      // a port did not: not opened, gave up, line failed
constexpr int kRefused = 2;         // the command line or the file was refused: nothing sent anywhere
constexpr int kInterrupted = 130;   // Ctrl+C or SIGTERM: every download ended at a frame boundary
}   // namespace ExitStatus
