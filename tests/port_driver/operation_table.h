// The 27 operations that speak to the box, each with what a healthy exchange puts
// on the line and how many reply bytes it awaits, and a runner that reports whether
// the operation wrote its out-value.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct Outcome {
    int status;
    bool out_written;
};

struct Operation {
    std::string name;
    std::vector<unsigned char> line;  // everything the host sends when all goes well
    int transmitter_polls;            // the last bytes of `line` that each wait for THRE
    int reply_bytes;
    // Starts the out-value as a marker; out_written tells whether it changed.
    std::function<Outcome(unsigned short port_base)> run;
};

std::vector<Operation> operations_with_echo();
